// Where the program's log files live. The start-up opens the log there and the error-log reporter
// uploads from there, so the rule exists once.
#pragma once

#include <string>

// "<temp>/Veltrin/NUV/" (<temp> the private temporary folder), not created.
std::string DefaultLogFolder();

// The log folder: "<temp>/Veltrin/NUV/", each level created (0700); the temporary folder itself
// when a level cannot be created or is not to be trusted (a link, another owner, writable by
// others).
std::string ChooseLogFolder();

struct LogFolderChoice {
  std::string folder;
  std::string refused;  // why "<temp>/Veltrin/NUV/" was not used; empty when it was
};
LogFolderChoice ChooseLogFolderWithReason();

// The interactive instance's log file in the default folder: "<temp>/Veltrin/NUV/vtNUV.log".
std::string DefaultLogFilePath();
