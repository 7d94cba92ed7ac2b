// Pauses and time-outs of the engine. The shipped values are the defaults; tests shorten them
// (SetEngineTimings, or NUV_ENGINE_FAST=1 in the environment of a spawned process).
#pragma once

namespace ns_NUK {

struct EngineTimings {
  int retryPauseMs = 5000;  // between two attempts
  int pollMs = 200;         // the downloader's polling period
  int stallMs = 10000;      // no data for this long fails a running connection
  int connectTimeoutSec = 10;
  int lowSpeedTimeSec = 60;  // below 1 byte/s for this long ends a transfer
  int lockedRetryMs = 1000;  // between tries to cut the resume record of a locked file
};

// Read once from the environment on first use (NUV_ENGINE_FAST=1 selects FastEngineTimings).
EngineTimings GetEngineTimings();
void SetEngineTimings(const EngineTimings& timings);
EngineTimings FastEngineTimings();

}  // namespace ns_NUK
