// Test helpers reading what a run did: the "cached" value the engine logged, and the bytes the
// server was asked for.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "testbed/request_log.h"

namespace enginetest {

// The last "cached=[N]" of the log file; -1 when there is none.
long long CachedFromLog(const std::string& logFile);
// Waits until the log file holds the text.
bool WaitForLogLine(const std::string& logFile, const std::string& text,
                    std::chrono::milliseconds timeout);
// Length of the union of the byte ranges the GET requests for the path asked for.
long long RequestedBytes(const std::vector<testbed::RecordedRequest>& requests,
                         const std::string& path);

}  // namespace enginetest
