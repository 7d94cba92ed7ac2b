// A private X display for one test: Xvfb started on a free display number (-displayfd), ended
// with the test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class XvfbDisplay {
 public:
  // Starts Xvfb with one screen of the given size; Name() is empty when it could not start (the
  // reason in Error()).
  XvfbDisplay(int width, int height);
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  const std::string& Name() const { return name_; }  // ":93"
  const std::string& Error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string error_;
};

// Runs a program (PATH lookup) with the current environment and waits up to 20 s; its exit code,
// or -1 when it could not run or took too long.
int RunTool(const std::vector<std::string>& argv);
