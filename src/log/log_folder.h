// Where the program's log files live. The start-up opens the log there and the error-log reporter
// uploads from there, so the rule exists once.
#pragma once

#include <string>

// "<temp>/Veltrin/NUV/", not created.
std::string DefaultLogFolder();

// The log folder: "<temp>/Veltrin/NUV/", each level created; the temporary folder itself when a
// level cannot be created.
std::string ChooseLogFolder();

// The interactive instance's log file in the default folder: "<temp>/Veltrin/NUV/vtNUV.log".
std::string DefaultLogFilePath();
