// The private temporary folder: the shared one is writable by every user, so a fixed name in it
// could be taken by anyone before us (a link to a file of root's, a file of their own).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/os/file_trust.h"
#include "platform/os/files.h"
#include "platform/os/folders.h"

namespace nuv::os {

namespace {

std::mutex gChosenLock;                      // guards gChosen
std::map<std::string, std::string> gChosen;  // shared folder -> the fresh folder taken in it

}  // namespace

std::string SharedTempFolder() {
  std::string dir = GetEnvOr("TMPDIR");
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

namespace {

// A trusted folder that is ours alone: our own (not merely root's) and closed to everyone else,
// also when an earlier version left it readable.
bool MakePrivate(const std::string& folder) {
  struct stat st {};
  return lstat(folder.c_str(), &st) == 0 && st.st_uid == geteuid() &&
         chmod(folder.c_str(), 0700) == 0;
}

// The private folder in one shared folder: the usual name, else the fresh one taken earlier in
// this process, else a new fresh one; empty when none can be had.
std::string PrivateFolderIn(const std::string& shared, TempFolderChoice& choice) {
  const std::string usual = shared + "nuv-" + std::to_string(geteuid()) + "/";
  if (MakeTrustedFolder(usual, 0700) && MakePrivate(usual)) return usual;
  if (choice.refused.empty()) {
    choice.refused = usual;
    choice.why = FolderDistrust(usual);
  }
  auto it = gChosen.find(shared);
  if (it != gChosen.end() && IsTrustedFolder(it->second)) return it->second;
  std::string pattern = shared + "nuv-" + std::to_string(geteuid()) + "-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  if (!IsTrustedFolder(pattern)) {
    rmdir(pattern.c_str());
    return {};
  }
  return gChosen[shared] = pattern + "/";
}

}  // namespace

TempFolderChoice ChooseTempFolder() {
  const std::string shared = SharedTempFolder();
  TempFolderChoice choice;
  std::lock_guard<std::mutex> hold(gChosenLock);
  if (!IsDirectory(shared)) {
    // A temporary folder that does not exist: the usual name, whose files then fail to open as
    // they would in any missing folder.
    choice.folder = shared + "nuv-" + std::to_string(geteuid()) + "/";
    return choice;
  }
  choice.folder = PrivateFolderIn(shared, choice);
  // A $TMPDIR that others can change (a user's folder kept through sudo) gives way to /tmp.
  if (choice.folder.empty() && shared != "/tmp/") choice.folder = PrivateFolderIn("/tmp/", choice);
  // Nowhere to be had: a folder that can never exist, so every file of ours fails to open rather
  // than land where someone else decides.
  if (choice.folder.empty()) choice.folder = "/proc/nuv-no-private-temp-folder/";
  return choice;
}

std::string TempFolder() {
  return ChooseTempFolder().folder;
}

}  // namespace nuv::os
