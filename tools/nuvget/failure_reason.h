// The one line nuvget prints on standard error when a download did not succeed.
#pragma once

#include <string>

#include "nuvget_args.h"

// What the engine's notifications told about the failure.
struct FailureFacts {
  int fileErrorKind = 0;  // kind of the last package-file error, 0 none
  int fileError = 0;      // its system error
  std::string fileName;   // the name the package is saved under
  std::string digest;     // the digest the finished file had, when one was computed
};

// Why the task ended with this (non-zero) result, for a user: what failed, and where or why.
std::string FailureReason(int result, const NuvgetArgs& args, const FailureFacts& facts);

// What a request for url gets when it brings no package: the transfer's error or the HTTP status.
std::string ExplainUrl(const std::string& url);
