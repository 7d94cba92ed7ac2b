// The process's last word: fault signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) are caught
// once, on an alternate stack, recorded, reported through the track report and the analytics
// event, dumped beside the program, and the process ends quietly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class ReportDataStore;

// The crash event's values.
struct CrashReport {
  std::string address;  // the faulting instruction, "0x%08X" of the whole pointer
  std::string offset;   // "%u"
  std::string module;   // full path, empty when unknown
  std::string section;  // empty when unknown
  uint32_t code = 0;
};

struct CrashHooks {
  // Publishes the session summary; true when the task list is not empty, which sends the crash
  // track report. Without one no track report is sent.
  std::function<bool()> sessionSummary;
  // Sends the crash analytics event and gives it its bounded chance to leave.
  std::function<void(const CrashReport&)> crashEvent;
};

// The exception code of a signal: signal number in the high half, its si_code in the low half
// (SIGSEGV with SEGV_MAPERR is 0x000B0001).
uint32_t CrashCode(int signal, int signalCode);

// The dump file: the program's own path + ".dmp".
std::string CrashDumpPath();

// Installs the handlers once per process (later calls change nothing and return false). The
// store defaults to the process-wide one. The whole handling is bounded by a watchdog, and a fault
// inside it ends the process at once, both with the same quiet exit.
bool InstallCrashHandler(CrashHooks hooks, ReportDataStore* store = nullptr);

// A thread that may run deep recursion calls this to get an alternate stack of its own; the
// installing thread has one already.
bool PrepareCrashStackForThisThread();

// The exit status of a process that ended through the handler: 128 + the signal number.
inline int CrashExitStatus(int signal) {
  return 128 + signal;
}
