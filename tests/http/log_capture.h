// Installs a process-wide log writer on a temporary file for one test and reads its lines back.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "log/simple_log.h"

class LogCapture {
 public:
  LogCapture() {
    char pattern[] = "/tmp/nuv-log-XXXXXX";
    dir_ = mkdtemp(pattern) ? pattern : "/tmp";
    path_ = dir_ + "/test.log";
    log_ = new simpleLog(path_);
    log_->SetRotateOnStart(false);
    log_->Init();
    SetSimpleLog(log_);
  }
  ~LogCapture() {
    SetSimpleLog(nullptr);
    delete log_;
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string Text() const {
    std::ifstream in(path_);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  // How many lines contain `fragment`.
  int Count(const std::string& fragment) const {
    std::istringstream in(Text());
    std::string line;
    int n = 0;
    while (std::getline(in, line))
      if (line.find(fragment) != std::string::npos) ++n;
    return n;
  }

 private:
  std::string dir_;
  std::string path_;
  simpleLog* log_ = nullptr;
};
