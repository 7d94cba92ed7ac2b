// Plain file-system primitives for the helpers above the OS layer (paths UTF-8).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nuv::os {

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);  // follows symbolic links
// Creates one folder (mode 0755 before umask); false when it fails, true also when it was made by
// someone else meanwhile and now exists as a folder.
bool MakeDirectory(const std::string& path);
// Creates a new empty file and closes it; false on failure, also when anything (a link, a file)
// already has the name: nothing is ever written through a name someone else prepared.
bool CreateNewFile(const std::string& path);
bool RemoveFile(const std::string& path);
// The whole file, or nothing when it can't be read or is not a regular file (a folder, a FIFO, a
// device never blocks or throws; errno tells why). With followLinks false a symbolic link is
// refused too.
std::optional<std::string> ReadFile(const std::string& path, bool followLinks = true);

struct DirEntry {
  std::string name;
  bool isDirectory = false;  // a real folder; a symbolic link counts as a file and is not followed
};
// The entries of a folder without "." and "..", sorted by name; nothing when it can't be opened.
std::optional<std::vector<DirEntry>> ListDirectory(const std::string& path);

}  // namespace nuv::os
