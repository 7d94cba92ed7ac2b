// A program that crashes on purpose, with the crash handler installed the way the start-up does.
//   crash_victim MODE PLATFORM_BASE_URL COLLECTOR_URL
// MODE: "null" reads through a null pointer, "wild" calls an address outside every module, "abort"
// aborts, "nested" faults again inside the handler (its session summary dereferences null).
// Before crashing it prints "fault_function=0x..." with the address of the faulting function.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analytics/report_data_store.h"
#include "analytics/usage_tracker.h"
#include "shell/crash_handler.h"

namespace {

volatile int* gNowhere = nullptr;

// UBSan would report the null read itself; the point here is the real fault.
__attribute__((noinline, no_sanitize("undefined"))) int ReadNull() {
  return *gNowhere;
}

__attribute__((noinline)) void CallWild() {
  auto wild = reinterpret_cast<void (*)()>(static_cast<uintptr_t>(0x10));
  wild();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: crash_victim MODE PLATFORM_BASE_URL COLLECTOR_URL\n");
    return 2;
  }
  const std::string mode = argv[1];

  ReportDataStore& store = GetReportDataStore();
  store.SetPlatformBaseUrl(argv[2]);
  store.SetReportValue("product_id", std::string("10086"));
  store.SetReportValue("client_sign", std::string("{VICTIM-G}"));
  store.SetReportNumber("downstatus", 1);
  store.SetDownloadStarted(true);

  analytics::UsageTracker& tracker = analytics::GetUsageTracker();
  tracker.Init({argv[3]}, "{VICTIM-G}", "UA-Nuv-Web");

  CrashHooks hooks;
  hooks.sessionSummary = [mode] {
    if (mode == "nested") return ReadNull() == 0;
    return true;
  };
  hooks.crashEvent = [](const CrashReport& crash) {
    analytics::UsageTracker& t = analytics::GetUsageTracker();
    t.TrackCrash(crash.address, crash.offset, crash.module, crash.section, crash.code);
    t.Stop();
  };
  if (!InstallCrashHandler(std::move(hooks))) return 3;

  if (mode == "null" || mode == "nested") {
    std::printf("fault_function=0x%jx\n",
                static_cast<uintmax_t>(reinterpret_cast<uintptr_t>(&ReadNull)));
    std::fflush(stdout);
    return ReadNull();
  }
  if (mode == "wild") CallWild();
  if (mode == "abort") std::abort();
  return 4;
}
