// A whole run of the session on a console, in the order the window takes it: plan, downloads with
// their retries, installs with theirs, then the product and the follow-up pages.
#pragma once

#include <string>

class NuvMgr;

struct ConsoleOptions {
  std::u16string installFolder;  // the user's choice; ends in '/'
  std::u16string language = u"en";
  int retries = 2;  // per task, for its download and for its installation
};

// 0 when every package the run needs was installed, 1 otherwise.
int RunConsoleSession(NuvMgr& mgr, const ConsoleOptions& options);
