// The program's spine: brings the pieces up in a fixed order and stops early, with a fixed log line
// and (interactive mode only) a fixed message box, when one fails.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "log/log_folder.h"  // ChooseLogFolder

class NuvMgr;
class LanguageTable;

struct StartupHooks {
  // Steps 12-15: hands the skin to the toolkit and makes, shows and registers the main window;
  // false when the window cannot be made (the start-up then stops with -1).
  std::function<bool(NuvMgr&, LanguageTable&)> openWindow;
  // Runs the message loop once everything before it is up; returns when the main window ends
  // the loop. Without one (no window) the start-up goes straight to the orderly end.
  std::function<void(NuvMgr&, LanguageTable&)> runWindow;
  // The crash handler is installed once per process; a test that runs the start-up inside its own
  // process keeps its sanitizer's fault reports by turning it off.
  bool installCrashHandler = true;
};

// Runs the whole start-up for the arguments argv[1..] and returns the process exit code: 0 after a
// normal end, -1 for every early stop.
int RunStartup(const std::vector<std::string>& args, NuvMgr& mgr, const StartupHooks& hooks = {});
