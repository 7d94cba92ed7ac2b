// Times log lines written by several threads at once: through NUV_LOG (the process-wide slot,
// which holds the writer for the line) against simpleLog::Log on the same writer (no slot), and
// NUV_LOG with no writer installed. Prints nanoseconds per line, best of several runs.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "log/simple_log.h"

namespace {

double NsPerLine(int threads, int lines, const std::function<void(int, int)>& write) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < lines; ++i) write(t, i);
    });
  for (auto& w : workers) w.join();
  const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
  return took.count() / (static_cast<double>(threads) * lines);
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc > 1 ? std::atoi(argv[1]) : 4;
  const int lines = argc > 2 ? std::atoi(argv[2]) : 20000;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  char folder[] = "/tmp/nuv-bench-log-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string path = std::string(folder) + "/bench.log";

  double direct = 1e300, slot = 1e300, none = 1e300;
  for (int r = 0; r < runs; ++r) {
    {
      simpleLog log(path);
      log.SetRotateOnStart(false);
      log.Init();
      direct = std::min(direct, NsPerLine(threads, lines, [&log](int t, int i) {
                          log.Log(3, "[INFO] thread=[%d] line=[%d] payload", t, i);
                        }));
      SetSimpleLog(&log);
      slot = std::min(slot, NsPerLine(threads, lines, [](int t, int i) {
                        NUV_LOG(3, "[INFO] thread=[%d] line=[%d] payload", t, i);
                      }));
      SetSimpleLog(nullptr);
    }
    none = std::min(none, NsPerLine(threads, lines, [](int t, int i) {
                      NUV_LOG(3, "[INFO] thread=[%d] line=[%d] payload", t, i);
                    }));
    std::remove(path.c_str());
  }
  rmdir(folder);
  std::printf("%d threads x %d lines, best of %d runs\n", threads, lines, runs);
  std::printf("simpleLog::Log (no slot)      %9.1f ns/line\n", direct);
  std::printf("NUV_LOG through the slot      %9.1f ns/line\n", slot);
  std::printf("NUV_LOG without a writer      %9.1f ns/line\n", none);
  std::printf("slot / no slot: %.3f\n", slot / direct);
  return 0;
}
