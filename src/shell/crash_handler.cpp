#include "shell/crash_handler.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "analytics/report_data_store.h"
#include "analytics/track_report.h"
#include "platform/os/folders.h"
#include "shell/crash_dump.h"
#include "shell/crash_locate.h"
#include "log/simple_log.h"

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// Big enough for the report's HTTP exchange and JSON building on a stack-overflowed thread.
constexpr size_t kAltStackSize = 2u << 20;
// The report post and the event each take at most about five seconds.
constexpr unsigned kWatchdogSeconds = 30;
// A second thread that faults meanwhile waits this long for the first to end the process.
constexpr int kOtherThreadWaitRounds = 400;  // of 100 ms, past the watchdog

std::atomic<bool> gInstalled{false};
std::atomic<bool> gHandling{false};
std::atomic<long> gHandlingThread{0};
std::atomic<int> gSignal{0};
CrashHooks* gHooks = nullptr;
ReportDataStore* gStore = nullptr;
char gDumpPath[4200] = {};
// Where a fault inside the dump's backtrace returns to, while armed.
sigjmp_buf gDumpRecovery;
std::atomic<bool> gDumpRecoveryArmed{false};

long ThreadId() {
  return syscall(SYS_gettid);
}

[[noreturn]] void QuietEnd(int signal) {
  _exit(CrashExitStatus(signal));
}

void OnWatchdog(int) {
  QuietEnd(gSignal.load());
}

void ArmWatchdog() {
  struct sigaction sa = {};
  sa.sa_handler = OnWatchdog;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGALRM, &sa, nullptr);
  sigset_t alarmOnly;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  pthread_sigmask(SIG_UNBLOCK, &alarmOnly, nullptr);
  alarm(kWatchdogSeconds);
}

uintptr_t InstructionAddress(const ucontext_t* uc, const siginfo_t* info) {
  if (uc) {
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.pc);
#endif
  }
  return reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
}

// Everything past the dump: the report store, the log, the track report and the event. These
// allocate and lock like any other caller; the watchdog bounds them.
void Report(const CrashFacts& facts) {
  const CrashLocation& where = *facts.location;
  CrashReport report;
  report.address = CrashAddressText(facts.address);
  report.offset = std::to_string(where.known ? where.offset : 0);
  report.module = where.known ? where.module : "";
  report.section = where.known ? where.section : "";
  report.code = facts.code;
  NUV_LOG(1, "[ERROR] crash, code=[%u], address=[%s], module=[%s], section=[%s], offset=[%s].",
          report.code, report.address.c_str(), report.module.c_str(), report.section.c_str(),
          report.offset.c_str());

  ReportDataStore& store = gStore ? *gStore : GetReportDataStore();
  store.RecordCrash(report.code, facts.address, where.known ? where.offset : 0, report.module,
                    report.section);
  if (gHooks && gHooks->sessionSummary && gHooks->sessionSummary()) store.SendTrackReport();
  if (gHooks && gHooks->crashEvent) gHooks->crashEvent(report);
}

void OnFault(int signal, siginfo_t* info, void* context) {
  bool expected = false;
  if (!gHandling.compare_exchange_strong(expected, true)) {
    // A fault inside the handler is not handled again; another thread's fault waits for the
    // first handling to end the process.
    if (gHandlingThread.load() == ThreadId()) {
      if (gDumpRecoveryArmed.exchange(false)) siglongjmp(gDumpRecovery, 1);
      QuietEnd(gSignal.load());
    }
    for (int i = 0; i < kOtherThreadWaitRounds; ++i) {
      struct timespec pause = {0, 100 * 1000 * 1000};
      nanosleep(&pause, nullptr);
    }
    QuietEnd(signal);
  }
  gHandlingThread = ThreadId();
  gSignal = signal;
  ArmWatchdog();

  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
  CrashLocation where;
  CrashFacts facts;
  facts.signal = signal;
  facts.signalCode = info ? info->si_code : 0;
  facts.code = CrashCode(signal, facts.signalCode);
  facts.address = InstructionAddress(uc, info);
  facts.faultAddress = reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
  facts.context = uc;
  facts.location = &where;
  LocateAddress(facts.address, where);

  // The dump needs nothing of the rest of the program, so it is written before anything that
  // could hang or fault again.
  if (gDumpPath[0] != '\0') {
    if (sigsetjmp(gDumpRecovery, 1) == 0) {
      gDumpRecoveryArmed = true;
      // The unwinder reads the code at each frame's address: not at an address no module holds.
      WriteCrashDump(gDumpPath, facts, where.known);
    } else {
      WriteCrashDump(gDumpPath, facts, false);
    }
    gDumpRecoveryArmed = false;
  }
  Report(facts);
  QuietEnd(signal);
}

}  // namespace

uint32_t CrashCode(int signal, int signalCode) {
  return (static_cast<uint32_t>(signal) << 16) | (static_cast<uint32_t>(signalCode) & 0xFFFFu);
}

std::string CrashDumpPath() {
  const std::string program = nuv::os::ModulePath();
  return program.empty() ? std::string() : program + ".dmp";
}

bool PrepareCrashStackForThisThread() {
  void* stack = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (stack == MAP_FAILED) return false;
  stack_t alt = {};
  alt.ss_sp = stack;
  alt.ss_size = kAltStackSize;
  if (sigaltstack(&alt, nullptr) != 0) {
    munmap(stack, kAltStackSize);
    return false;
  }
  return true;
}

bool InstallCrashHandler(CrashHooks hooks, ReportDataStore* store) {
  bool expected = false;
  if (!gInstalled.compare_exchange_strong(expected, true)) return false;
  gHooks = new CrashHooks(std::move(hooks));  // lives as long as the process
  gStore = store;
  const std::string dump = CrashDumpPath();
  if (dump.size() < sizeof gDumpPath) std::memcpy(gDumpPath, dump.c_str(), dump.size() + 1);
  PrepareCrashBacktrace();
  PrepareCrashStackForThisThread();

  struct sigaction sa = {};
  sa.sa_sigaction = OnFault;
  // SA_NODEFER: a fault inside the handler re-enters it (and ends the process) instead of being
  // turned by the kernel into a core dump.
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  bool all = true;
  for (int signal : kFaultSignals) all = sigaction(signal, &sa, nullptr) == 0 && all;
  return all;
}
