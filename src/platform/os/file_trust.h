// What a process running as root may rely on in folders other users can reach: folders nobody else
// can change, and files it made itself. Paths are UTF-8; a relative one is taken from the working
// folder.
#pragma once

#include <sys/types.h>

#include <string>

namespace nuv::os {

// Empty when the folder can hold this process's files: a real folder (not a link), owned by the
// process user or root, not writable by group or others, and every folder above it owned by the
// process user or root and either not writable by group or others or sticky (as /tmp), so that
// nobody else can move it away. Otherwise why not, for a log line ("…: a link", "…: owned by uid
// 1000", "…: mode 0777", "…: missing").
std::string FolderDistrust(const std::string& folder);
inline bool IsTrustedFolder(const std::string& folder) {
  return FolderDistrust(folder).empty();
}

// Creates the folder with the mode when it is missing (its parent must exist); true when it is
// then trusted. An existing folder keeps its mode.
bool MakeTrustedFolder(const std::string& folder, mode_t mode);

// A file this process may resume, upload or run: a regular file (not a link, FIFO or device),
// owned by the process user, with no other name (hard link) that someone else could reach it by.
bool IsOwnRegularFd(int fd);
bool IsOwnRegularFile(const std::string& path);

}  // namespace nuv::os
