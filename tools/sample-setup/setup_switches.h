// The installer switches the downloader passes, parsed from argv (already split by the Windows
// rules). Switch names compare case-insensitively; a value may still carry surrounding quotes.
#pragma once

#include <string>
#include <vector>

namespace sample_setup {

struct Switches {
  bool verySilent = false;
  bool noPage = false;
  bool notRun = false;
  std::string lang;
  std::string log;
  std::string installPath;  // "/installpath:" and the argument after it (or joined to it)
  std::string dir;
  std::string window;  // /NUVWIN= as given (hexadecimal handle)
  std::string pid;
  std::string sceneCode;
  std::string token;
  std::string hostInfoPath;
  std::vector<std::string> unknown;  // anything else, kept for the log
};

Switches ParseSwitches(const std::vector<std::string>& args);

// The window handle of /NUVWIN= (hexadecimal, no prefix); 0 when absent or not a number.
unsigned ParseWindowHandle(const std::string& text);

}  // namespace sample_setup
