// The crash handler: where an address lies, and whole crashes of a real program
// (tests/shell/victim) that must end quietly, leave the dump beside the program and report to the
// testbed.
//
// Sanitizer builds: the victim runs with ASAN_OPTIONS / TSAN_OPTIONS that leave the fault signals
// to the program's own handler (handle_segv=0 ...), and its null read is exempt from UBSan.
#include "shell/crash_handler.h"

#include <cjson/cJSON.h>
#include <fcntl.h>
#include <gnu/libc-version.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/crash_locate.h"
#include "support/temp_dir.h"
#include "testbed/analytics_side.h"
#include "testbed/platform_side.h"
#include "testbed/testbed.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadChecked = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadChecked = true;
#else
constexpr bool kThreadChecked = false;
#endif
#else
constexpr bool kThreadChecked = false;
#endif

int gInitialized = 7;
int gZeroed = 0;
const char kConstant[] = "constant";
__attribute__((noinline)) int SomeFunction(int x) {
  return x * 3 + gInitialized;
}

std::string OwnPath() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, n) : std::string();
}

TEST(CrashLocate, AddressesOfTheProgramLibrariesAndNowhere) {
  struct Case {
    const char* what;
    const void* address;
    bool known;
    const char* section;
  };
  const auto heap = std::make_unique<int>(1);
  const Case cases[] = {
      {"function", reinterpret_cast<const void*>(&SomeFunction), true, ".text"},
      {"initialised data", &gInitialized, true, ".data"},
      {"zeroed data", &gZeroed, true, ".bss"},
      {"constant", kConstant, true, ".rodata"},
      {"heap", heap.get(), false, ""},
      {"low address", reinterpret_cast<const void*>(0x10), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CrashLocation where;
    EXPECT_EQ(LocateAddress(reinterpret_cast<uintptr_t>(c.address), where), c.known);
    EXPECT_EQ(where.known, c.known);
    EXPECT_STREQ(where.section, c.section);
    if (c.known) {
      EXPECT_EQ(where.module, OwnPath());
    } else {
      EXPECT_STREQ(where.module, "");
      EXPECT_EQ(where.offset, 0u);
    }
  }

  // Offsets count from the section's start: two addresses keep their distance.
  CrashLocation a, b;
  const uintptr_t fn = reinterpret_cast<uintptr_t>(&SomeFunction);
  ASSERT_TRUE(LocateAddress(fn, a));
  ASSERT_TRUE(LocateAddress(fn + 4, b));
  EXPECT_EQ(b.offset, a.offset + 4);

  // A shared library is named by its own file (a function no sanitizer wraps).
  CrashLocation libc;
  ASSERT_TRUE(LocateAddress(reinterpret_cast<uintptr_t>(&gnu_get_libc_version), libc));
  EXPECT_NE(std::string(libc.module).find("libc"), std::string::npos) << libc.module;
  EXPECT_STREQ(libc.section, ".text");
}

TEST(CrashLocate, FilesThatAreNoElfGiveNoSection) {
  TempDir dir;
  WriteWholeFile(dir.File("junk"), std::string(4096, 'x'));
  char name[64];
  uint32_t offset = 0;
  EXPECT_FALSE(FindElfSection(dir.File("junk").c_str(), 0x1000, name, sizeof name, offset));
  EXPECT_FALSE(FindElfSection(dir.File("absent").c_str(), 0x1000, name, sizeof name, offset));
}

TEST(CrashCodes, SignalInTheHighHalfItsCodeInTheLow) {
  EXPECT_EQ(CrashCode(SIGSEGV, SEGV_MAPERR), 0x000B0001u);
  EXPECT_EQ(CrashCode(SIGBUS, BUS_ADRERR), 0x00070002u);
  EXPECT_EQ(CrashCode(SIGABRT, SI_TKILL), 0x0006FFFAu);  // a negative code keeps its low half
}

struct VictimRun {
  bool ended = false;
  int status = 0;
  std::string out;
  std::string err;
};

// Runs a copy of the victim from dir, so that its dump lands there, with a deadline.
VictimRun RunVictim(const TempDir& dir, const std::string& mode, const std::string& platformBase,
                    const std::string& collector) {
  VictimRun run;
  const std::string program = dir.File("crash_victim");
  std::filesystem::copy_file(CRASH_VICTIM_PATH, program,
                             std::filesystem::copy_options::overwrite_existing);
  std::vector<std::string> env = {
      "TMPDIR=" + dir.Path(),
      "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:handle_abort=0:"
      "detect_leaks=0",
      "TSAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:handle_abort=0:"
      "report_signal_unsafe=0",
      "UBSAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:handle_abort=0",
      "PATH=/usr/bin:/bin"};
  if (const char* res = std::getenv("NUV_RESOURCE_DIR"))
    env.push_back(std::string("NUV_RESOURCE_DIR=") + res);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {program, mode, platformBase, collector};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, dir.File("victim.out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, dir.File("victim.err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) return run;

  // The handler's own watchdog is 30 s; the run must end well inside this.
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  struct pollfd p = {pidfd, POLLIN, 0};
  const bool ended = pidfd >= 0 && poll(&p, 1, 60000) == 1;
  if (!ended) kill(pid, SIGKILL);
  waitpid(pid, &run.status, 0);
  if (pidfd >= 0) close(pidfd);
  run.ended = ended;
  run.out = ReadWholeFile(dir.File("victim.out"));
  run.err = ReadWholeFile(dir.File("victim.err"));
  return run;
}

std::string Member(const std::string& json, const std::string& name) {
  std::string value = "<absent>";
  // A member of the document, or of an analytics record's "properties".
  cJSON* doc = cJSON_Parse(json.c_str());
  cJSON* m = doc ? cJSON_GetObjectItemCaseSensitive(doc, name.c_str()) : nullptr;
  if (!m && doc) {
    m = cJSON_GetObjectItemCaseSensitive(cJSON_GetObjectItemCaseSensitive(doc, "properties"),
                                         name.c_str());
  }
  if (m) {
    value =
        cJSON_IsString(m) ? m->valuestring : std::to_string(static_cast<int64_t>(m->valuedouble));
  }
  cJSON_Delete(doc);
  return value;
}

class CrashRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddSide(platform_);
    server_.AddSide(collector_);
    ASSERT_TRUE(server_.Start());
  }
  VictimRun Run(const std::string& mode) {
    return RunVictim(dir_, mode, server_.BaseUrl() + "/",
                     server_.BaseUrl() + "/sa?project=UA_Nuv_Web");
  }
  std::string Program() const { return dir_.File("crash_victim"); }

  TempDir dir_;
  testbed::Server server_;
  std::shared_ptr<testbed::PlatformSide> platform_ = std::make_shared<testbed::PlatformSide>();
  std::shared_ptr<testbed::AnalyticsSide> collector_ = std::make_shared<testbed::AnalyticsSide>();
};

TEST_F(CrashRunTest, NullReadEndsQuietlyWithDumpReportAndEvent) {
  WriteWholeFile(Program() + ".dmp", "an earlier dump");
  const VictimRun run = Run("null");
  ASSERT_TRUE(run.ended);
  ASSERT_TRUE(WIFEXITED(run.status)) << "ended by signal " << WTERMSIG(run.status);
  EXPECT_EQ(WEXITSTATUS(run.status), CrashExitStatus(SIGSEGV));
  EXPECT_EQ(run.err, "");

  // The dump replaced the earlier one.
  const std::string dump = ReadWholeFile(Program() + ".dmp");
  EXPECT_EQ(dump.rfind("signal=11\n", 0), 0u) << dump.substr(0, 200);
  EXPECT_NE(dump.find("\nmodule=" + Program() + "\n"), std::string::npos);
  EXPECT_NE(dump.find("\nsection=.text\n"), std::string::npos);
  EXPECT_NE(dump.find("\n[registers]\n"), std::string::npos);
  EXPECT_NE(dump.find("\n[maps]\n"), std::string::npos);
  EXPECT_NE(dump.find(Program(), dump.find("\n[maps]\n")), std::string::npos);
  EXPECT_NE(dump.find("\n[backtrace]\n"), std::string::npos);

  ASSERT_EQ(platform_->TrackReports().size(), 1u);
  const testbed::TrackReportRecord report = platform_->TrackReports()[0];
  EXPECT_EQ(report.clientSign, "{VICTIM-G}");
  const std::string& doc = report.body;
  EXPECT_EQ(Member(doc, "crash"), "1");
  EXPECT_EQ(Member(doc, "closetype"), "5");
  EXPECT_EQ(Member(doc, "crashcode"), std::to_string(CrashCode(SIGSEGV, SEGV_MAPERR)));
  EXPECT_EQ(Member(doc, "crashfilename"), Program());
  EXPECT_EQ(Member(doc, "crashsection"), ".text");
  EXPECT_EQ(Member(doc, "downstate"), "1016");
  // The faulting instruction lies inside the function that read null.
  const size_t at = run.out.find("fault_function=");
  ASSERT_NE(at, std::string::npos) << run.out;
  const uintptr_t fn = std::strtoull(run.out.c_str() + at + 15, nullptr, 16);
  const uintptr_t pc = std::strtoull(Member(doc, "crashattr").c_str(), nullptr, 16);
  EXPECT_GE(pc, fn);
  EXPECT_LT(pc, fn + 256);

  // The local copy beside the post, in the victim's private temporary folder.
  bool copied = false;
  const std::string temp = dir_.Path() + "nuv-" + std::to_string(geteuid()) + "/";
  for (const auto& entry : std::filesystem::directory_iterator(temp)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("NUV_10086_T", 0) == 0) copied = ReadWholeFile(entry.path().string()) == doc;
  }
  EXPECT_TRUE(copied);

  // The crash event carries the same place.
  const std::vector<std::string> records = collector_->Records();
  const std::string* crash = nullptr;
  for (const std::string& r : records) {
    if (Member(r, "event") == "downloader_crash") crash = &r;
  }
  ASSERT_NE(crash, nullptr) << records.size() << " records";
  EXPECT_EQ(Member(*crash, "crashaddr"), Member(doc, "crashattr"));
  EXPECT_EQ(Member(*crash, "crashoffset"), Member(doc, "crashoffset"));
  EXPECT_EQ(Member(*crash, "crashfilename"), Program());
  EXPECT_EQ(Member(*crash, "crashsection"), ".text");
  EXPECT_EQ(Member(*crash, "error_code"), std::to_string(CrashCode(SIGSEGV, SEGV_MAPERR)));
}

TEST_F(CrashRunTest, FaultOutsideEveryModuleReportsCodeAndAddressOnly) {
  const VictimRun run = Run("wild");
  ASSERT_TRUE(run.ended);
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), CrashExitStatus(SIGSEGV));
  ASSERT_EQ(platform_->TrackReports().size(), 1u);
  const std::string doc = platform_->TrackReports()[0].body;
  EXPECT_EQ(Member(doc, "crashattr"), "0x00000010");
  EXPECT_EQ(Member(doc, "crashfilename"), "");
  EXPECT_EQ(Member(doc, "crashsection"), "");
  EXPECT_EQ(Member(doc, "crashoffset"), "0");
  // No unwinding through the wild address: the dump goes without the backtrace.
  const std::string dump = ReadWholeFile(Program() + ".dmp");
  EXPECT_NE(dump.find("\nmodule=\nsection=\n"), std::string::npos);
  EXPECT_NE(dump.find("\n[maps]\n"), std::string::npos);
  EXPECT_NE(dump.find("\n[backtrace]\n(not available)\n"), std::string::npos);
}

TEST_F(CrashRunTest, AbortIsCaughtInTheLibrary) {
  const VictimRun run = Run("abort");
  ASSERT_TRUE(run.ended);
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), CrashExitStatus(SIGABRT));
  ASSERT_EQ(platform_->TrackReports().size(), 1u);
  const std::string doc = platform_->TrackReports()[0].body;
  EXPECT_EQ(Member(doc, "crashcode"), std::to_string(CrashCode(SIGABRT, SI_TKILL)));
  EXPECT_NE(Member(doc, "crashfilename").find("libc"), std::string::npos);
}

TEST_F(CrashRunTest, FaultInsideTheHandlerEndsAtOnceWithTheDumpKept) {
  const VictimRun run = Run("nested");
  ASSERT_TRUE(run.ended);
  if (kThreadChecked) {
    // The thread checker blocks fault signals while a handler runs, so the kernel ends the
    // process by the second fault: still no second handling and no hang.
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
  } else {
    ASSERT_TRUE(WIFEXITED(run.status)) << "ended by signal " << WTERMSIG(run.status);
    EXPECT_EQ(WEXITSTATUS(run.status), CrashExitStatus(SIGSEGV));
    EXPECT_EQ(run.err, "");
  }
  EXPECT_EQ(ReadWholeFile(Program() + ".dmp").rfind("signal=11\n", 0), 0u);
  // The second fault came before the report: nothing reached the server.
  EXPECT_TRUE(platform_->TrackReports().empty());
}

}  // namespace
