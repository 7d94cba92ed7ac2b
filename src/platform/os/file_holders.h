// Which processes hold a file open (a scan of /proc/<pid>/fd).
#pragma once

#include <string>
#include <vector>

namespace nuv::os {

struct FileHolder {
  int pid = 0;
  std::string name;  // /proc/<pid>/comm
};

// The processes with a descriptor on `path` (same device and inode), in pid order; processes
// whose descriptors cannot be read are skipped.
std::vector<FileHolder> FileHolders(const std::string& path);
// This process's id, to tell its own descriptors from the others'.
int OwnProcessId();

}  // namespace nuv::os
