#include "engine/engine_timings.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace ns_NUK {

namespace {
// Written by tests before tasks start; read by every download and transfer thread.
std::mutex gTimingsLock;
EngineTimings& Timings() {
  static EngineTimings timings = [] {
    const char* fast = std::getenv("NUV_ENGINE_FAST");
    return (fast && std::strcmp(fast, "1") == 0) ? FastEngineTimings() : EngineTimings{};
  }();
  return timings;
}
}  // namespace

EngineTimings FastEngineTimings() {
  EngineTimings t;
  t.retryPauseMs = 50;
  t.pollMs = 20;
  t.stallMs = 1500;
  t.connectTimeoutSec = 3;
  t.lowSpeedTimeSec = 4;
  t.lockedRetryMs = 20;
  return t;
}

EngineTimings GetEngineTimings() {
  std::lock_guard<std::mutex> guard(gTimingsLock);
  return Timings();
}

void SetEngineTimings(const EngineTimings& timings) {
  std::lock_guard<std::mutex> guard(gTimingsLock);
  Timings() = timings;
}

}  // namespace ns_NUK
