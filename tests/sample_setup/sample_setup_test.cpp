#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "http/log_capture.h"
#include "platform/os/file_version.h"
#include "platform/os/process.h"
#include "platform/os/window_socket.h"
#include "platform/process_launch.h"
#include "platform/registry.h"
#include "platform/registry_test_env.h"
#include "support/temp_dir.h"
#include "tools/sample-setup/package_format.h"
#include "xml/utf.h"

using namespace std::chrono_literals;
using nuv::os::WindowFrame;
using nuv::os::WindowFrameKind;
using sample_setup::Settings;

namespace {

std::u16string W(const std::string& s) {
  return Utf8ToWide(s);
}

std::string Utf16Text(const std::u16string& text) {
  std::u16string withNul = text + u'\0';
  return std::string(reinterpret_cast<const char*>(withNul.data()), withNul.size() * 2);
}

class Window {
 public:
  Window()
      : listener_(0x60000000u | (static_cast<uint32_t>(getpid()) & 0xFFFFFu) << 4, {"NUV", "w"},
                  [this](const WindowFrame& f) {
                    std::lock_guard<std::mutex> guard(lock_);
                    frames_.push_back(f);
                    changed_.notify_all();
                  }) {}
  bool Start() { return listener_.Start(); }
  std::string HandleText() const {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", listener_.Handle());
    return buffer;
  }
  std::vector<uint64_t> Progress() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<uint64_t> values;
    for (const WindowFrame& f : frames_) {
      if (f.kind == WindowFrameKind::Post && f.message == 0x046F) values.push_back(f.wParam);
    }
    return values;
  }
  std::vector<std::string> CopyData() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> texts;
    for (const WindowFrame& f : frames_) {
      if (f.kind == WindowFrameKind::Send && f.message == 0x004A) texts.push_back(f.payload);
    }
    return texts;
  }
  bool WaitForProgress(uint64_t value) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, 20s, [&] {
      for (const WindowFrame& f : frames_) {
        if (f.message == 0x046F && f.wParam == value) return true;
      }
      return false;
    });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<WindowFrame> frames_;
  nuv::os::WindowSocketListener listener_;
};

class SampleSetupTest : public RegistryDirTest {
 protected:
  void SetUp() override {
    RegistryDirTest::SetUp();
    ASSERT_TRUE(window_.Start());
  }
  std::string Package(Settings settings, uint64_t size = 0) {
    std::string program = ReadWholeFile(SAMPLE_SETUP_PATH);
    std::optional<std::string> package = sample_setup::BuildPackage(program, settings, size);
    EXPECT_TRUE(package);
    std::string path = work_.File("package-" + std::to_string(++packages_) + ".exe");
    WriteWholeFile(path, package.value_or(""));
    EXPECT_TRUE(platform::MakeExecutable(W(path)));
    return path;
  }
  // The main product's command line as the downloader builds it.
  std::u16string CommandLine(const std::string& dir, const std::string& extra = "") {
    return W("/VERYSILENT /NOPAGE /LANG=en /LOG=\"" + work_.File("NUV-12345.log") +
             "\" /installpath: \"" + dir + "\" /DIR=\"" + dir +
             "\" /NUVWIN=" + window_.HandleText() + " /PID=12345" + extra);
  }

  TempDir work_;
  Window window_;
  int packages_ = 0;
};

TEST_F(SampleSetupTest, InstallsRecordsAndReportsToTheWindow) {
  Settings s;
  s.Set("version", "3.1.4.1");
  s.Set("payload_bytes", "10000");
  s.Set("copydata", "install_done=1;用时=3");
  s.Set("start_record", work_.File("starts.txt"));
  std::string package = Package(s);
  std::string dir = work_.File("Program Files/Veltrin/Capturo/");
  std::string hostInfo = work_.File("nuv_fork_mhb_20260101000000.txt");
  std::string info = Utf16Text(u"{\"product_id\":\"12345\",\"selectlang\":\"en\"}");
  WriteWholeFile(hostInfo, info.substr(0, info.size() - 2));

  ASSERT_EQ(platform::RunExe(W(package),
                             CommandLine(dir,
                                         " /SCENE_CODE=sc1 /TOKEN_PRODUCTINSTALL_ARG=tok "
                                         "/NOTRUN /HOSTINFOPATH=\"" +
                                             hostInfo + "\""),
                             false),
            0);

  // Files, with the chosen version on the product program.
  std::string exe = dir + "Capturo";
  EXPECT_TRUE(std::filesystem::exists(exe));
  EXPECT_EQ(nuv::os::ReadVersionSection(exe), "3.1.4.1");
  EXPECT_EQ(nuv::os::ReadVersionSection(package), "3.1.4.1");
  EXPECT_EQ(std::filesystem::file_size(dir + "data/payload.bin"), 10000u);
  EXPECT_EQ(ReadWholeFile(dir + "setup-args.txt"),
            "/VERYSILENT\n/NOPAGE\n/LANG=en\n/LOG=" + work_.File("NUV-12345.log") +
                "\n/installpath:\n" + dir + "\n/DIR=" + dir + "\n/NUVWIN=" + window_.HandleText() +
                "\n/PID=12345\n/SCENE_CODE=sc1\n/TOKEN_PRODUCTINSTALL_ARG=tok\n/NOTRUN\n"
                "/HOSTINFOPATH=" +
                hostInfo + "\n");
  std::string log = ReadWholeFile(work_.File("NUV-12345.log"));
  EXPECT_NE(log.find("Host info: {\"product_id\":\"12345\",\"selectlang\":\"en\"}"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Exit code 0"), std::string::npos);

  // The registry record the downloader looks up.
  std::u16string version;
  EXPECT_TRUE(platform::GetInstalledVersion(u"Veltrin", 12345, version));
  EXPECT_EQ(version, u"3.1.4.1");
  EXPECT_EQ(platform::GetInstalledPath(u"Veltrin", 12345), W(dir));
  EXPECT_EQ(platform::GetInstalledName(u"Veltrin", 12345), W(exe));

  // The copy data is sent synchronously, after every progress message.
  std::vector<uint64_t> expected;
  for (uint64_t p = 0; p <= 100; p += 5) expected.push_back(p);
  EXPECT_EQ(window_.Progress(), expected);
  EXPECT_EQ(window_.CopyData(), std::vector<std::string>{Utf16Text(u"install_done=1;用时=3")});

  // The installed program runs as the product.
  EXPECT_EQ(platform::RunExe(W(exe), u"-startmodel:floatmode", false), 0);
  EXPECT_NE(ReadWholeFile(work_.File("starts.txt")).find("args=-startmodel:floatmode"),
            std::string::npos);
}

TEST_F(SampleSetupTest, ChosenExitCodeIsHonouredAndWritesNoRecord) {
  Settings s;
  s.Set("exit_code", "5");
  s.Set("progress_step", "50");
  std::string dir = work_.File("app/");
  EXPECT_EQ(platform::RunExe(W(Package(s)), CommandLine(dir), false), 5);
  std::u16string version;
  EXPECT_FALSE(platform::GetInstalledVersion(u"Veltrin", 12345, version));
  EXPECT_EQ(window_.Progress(), (std::vector<uint64_t>{0, 50, 100}));
}

TEST_F(SampleSetupTest, HangingSetupIsKilledAtTheTimeLimit) {
  Settings s;
  s.Set("hang_at", "30");
  s.Set("progress_step", "10");
  std::string package = Package(s);
  nuv::os::SpawnResult child =
      nuv::os::Spawn({package, "/DIR=" + work_.File("h/"), "/NUVWIN=" + window_.HandleText()});
  ASSERT_TRUE(child.Started());
  ASSERT_TRUE(window_.WaitForProgress(30));
  EXPECT_EQ(nuv::os::WaitForExitWithin(child.pid, 200ms), std::nullopt);
  EXPECT_NE(kill(child.pid, 0), 0);  // killed and reaped
  EXPECT_EQ(window_.Progress(), (std::vector<uint64_t>{0, 10, 20, 30}));
}

TEST_F(SampleSetupTest, BadSwitchesStillEndWithAnHonestExitCode) {
  std::string package = Package(Settings());
  struct Case {
    const char* name;
    std::string params;
    int code;
  } cases[] = {
      {"log folder missing",
       "/LOG=\"" + work_.File("no/such/dir/x.log") + "\" /DIR=\"" + work_.File("a/") + "\"", 0},
      {"no window", "/DIR=\"" + work_.File("b/") + "\"", 0},
      {"window not a number", "/NUVWIN=zz /DIR=\"" + work_.File("c/") + "\"", 0},
      {"window absent", "/NUVWIN=1 /DIR=\"" + work_.File("d/") + "\"", 0},
      {"folder cannot be made", "/DIR=/proc/self/nope/", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::RunExe(W(package), W(c.params), false), c.code) << c.name;
  }
  EXPECT_TRUE(std::filesystem::exists(work_.File("a/Capturo")));
}

TEST(SamplePackageTest, PackToolMakesPackagesOfTheChosenSizeWithTheirDigest) {
  TempDir dir;
  std::string out = dir.File("pkg.exe");
  uint64_t size = std::filesystem::file_size(SAMPLE_SETUP_PATH) + 123457;
  std::string command = std::string(SAMPLE_SETUP_PACK_PATH) + " --out " + out + " --size " +
                        std::to_string(size) + " exit_code=3 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  char line[256] = "";
  ASSERT_TRUE(std::fgets(line, sizeof line, pipe));
  ASSERT_EQ(pclose(pipe), 0) << line;

  std::string bytes = ReadWholeFile(out);
  EXPECT_EQ(bytes.size(), size);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &n, EVP_md5(), nullptr);
  char hex[64] = "";
  for (unsigned int i = 0; i < n; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  EXPECT_EQ(std::string(line), std::string(hex) + " " + std::to_string(size) + "\n");

  ASSERT_TRUE(platform::MakeExecutable(W(out)));
  EXPECT_EQ(platform::RunExe(W(out), W("/DIR=" + dir.File("i/")), false), 3);

  command = std::string(SAMPLE_SETUP_PACK_PATH) + " --out " + dir.File("small") + " --size 10";
  EXPECT_NE(system((command + " 2>/dev/null").c_str()), 0);
}

TEST(SamplePackageTest, FormatRoundTripAndDamagedTrailers) {
  std::string program = ReadWholeFile(SAMPLE_SETUP_PATH);
  Settings s;
  s.Set("exit_code", "7");
  s.Set("copydata", "a=b=c");
  std::optional<std::string> package = sample_setup::BuildPackage(program, s, program.size() + 500);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->size(), program.size() + 500);
  sample_setup::Unpacked unpacked = sample_setup::Unpack(*package);
  EXPECT_EQ(unpacked.settings.Get("exit_code"), "7");
  EXPECT_EQ(unpacked.settings.Get("copydata"), "a=b=c");
  EXPECT_EQ(unpacked.program.size(), program.size());
  // A package of a package keeps one trailer.
  EXPECT_EQ(sample_setup::BuildPackage(*package, s)->size(),
            sample_setup::BuildPackage(program, s)->size());

  // Sizes that point outside the file: no trailer, defaults.
  std::string damaged = *package;
  damaged[damaged.size() - 24] = '\xFF';
  damaged[damaged.size() - 17] = '\x7F';
  EXPECT_EQ(sample_setup::Unpack(damaged).settings.Get("exit_code"), "0");
  EXPECT_EQ(sample_setup::Unpack(damaged).program.size(), damaged.size());

  Settings longVersion;
  longVersion.Set("version", std::string(32, '1'));
  EXPECT_FALSE(sample_setup::BuildPackage(program, longVersion));
  EXPECT_FALSE(sample_setup::BuildPackage("not an ELF file", s));
  EXPECT_FALSE(sample_setup::BuildPackage(program, s, 100));
}

}  // namespace
