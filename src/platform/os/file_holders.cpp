#include "platform/os/file_holders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace nuv::os {

namespace {

bool IsNumber(const char* s) {
  if (!*s) return false;
  for (; *s; ++s)
    if (*s < '0' || *s > '9') return false;
  return true;
}

bool HoldsFile(const std::string& fdDir, dev_t dev, ino_t ino) {
  DIR* dir = opendir(fdDir.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* e = readdir(dir)) {
    if (!IsNumber(e->d_name)) continue;
    struct stat st;
    if (stat((fdDir + "/" + e->d_name).c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

std::string CommandName(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

}  // namespace

int OwnProcessId() { return static_cast<int>(getpid()); }

std::vector<FileHolder> FileHolders(const std::string& path) {
  std::vector<FileHolder> holders;
  struct stat target;
  if (stat(path.c_str(), &target) != 0) return holders;
  DIR* proc = opendir("/proc");
  if (!proc) return holders;
  while (dirent* e = readdir(proc)) {
    if (!IsNumber(e->d_name)) continue;
    const int pid = std::atoi(e->d_name);
    if (HoldsFile(std::string("/proc/") + e->d_name + "/fd", target.st_dev, target.st_ino))
      holders.push_back({pid, CommandName(pid)});
  }
  closedir(proc);
  std::sort(holders.begin(), holders.end(),
            [](const FileHolder& a, const FileHolder& b) { return a.pid < b.pid; });
  return holders;
}

}  // namespace nuv::os
