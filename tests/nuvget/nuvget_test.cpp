// nuvget as a user meets it: the command lines it refuses, the line it prints for each way a
// download fails, where its log goes, and its progress figure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "progress_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "testbed/testbed.h"

namespace {

// Runs nuvget with TMPDIR in the test's folder and the engine's short timings.
ProgramRun RunNuvget(const std::vector<std::string>& args, const TempDir& dir) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("TMPDIR=", 0) != 0 && v.rfind("NUV_ENGINE_FAST=", 0) != 0) env.push_back(v);
  }
  env.push_back("TMPDIR=" + dir.File("tmp"));
  env.push_back("NUV_ENGINE_FAST=1");
  std::filesystem::create_directories(dir.File("tmp"));
  std::vector<std::string> all = {NUVGET_PATH};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all, &env);
}

// The last line of standard error (the progress line ends in a newline of its own).
std::string LastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  const size_t nl = t.find_last_of("\n\r");
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

TEST(NuvgetCommandLine, RefusedLinesEndWith64AndTouchNothing) {
  const std::string digest(32, 'a');
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"http://127.0.0.1:9/p.bin", "DIR", "--md5", "abc"}, "--md5 wants 32 hexadecimal digits"},
      {{"http://127.0.0.1:9/p.bin", "DIR", "--md5", digest + "0"}, "--md5 wants 32"},
      {{"http://127.0.0.1:9/p.bin", "DIR", "--md5", std::string(31, 'a') + "g"}, "--md5 wants 32"},
      {{"http://127.0.0.1:9/p.bin", "DIR", "--md5"}, "incomplete argument \"--md5\""},
      {{"http://127.0.0.1:9/p.bin", "DIR", "--id", "x"}, "incomplete argument \"--id\""},
      {{"--md5", "abc"}, "URL and DIR come first"},
      {{"http://127.0.0.1:9/p.bin"}, "URL and DIR come first"},
      {{"--help"}, "usage: nuvget URL DIR"},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.says);
    TempDir dir;
    for (std::string& a : c.args)
      if (a == "DIR") a = dir.File("dl");
    const ProgramRun ran = RunNuvget(c.args, dir);
    EXPECT_EQ(ran.exitCode, 64);
    EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("usage: nuvget URL DIR"), std::string::npos) << ran.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("dl")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("tmp")));
  }
}

TEST(NuvgetFailures, EveryFailureSaysWhyInOneLine) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const auto info = server.Packages().AddGenerated("/n/pkg.bin", 200000);
  server.Packages().AddGenerated("/n/corrupt.bin", 200000, info.seed);
  server.Packages().SetFaults("/n/corrupt.bin", *testbed::ParseFaults("corrupt_from:0"));
  struct Case {
    const char* name;
    std::string url;
    bool dirUnderAFile;
    int exitCode;
    std::string says;
  } cases[] = {
      {"missing package", server.Url("/n/none.bin"), false, 5,
       "nuvget: size query failed: the server answered HTTP 404"},
      {"closed port", "http://127.0.0.1:9/n/pkg.bin", false, 5,
       "nuvget: size query failed: Couldn't connect to server"},
      {"corrupted body", server.Url("/n/corrupt.bin"), false, 11,
       "nuvget: digest mismatch: expected " + info.md5 + ", the download has "},
      {"folder under a file", server.Url("/n/pkg.bin"), true, 9,
       "nuvget: file error: cannot create "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string target = dir.File("dl");
    if (c.dirUnderAFile) {
      WriteWholeFile(dir.File("file"), "x");
      target = dir.File("file/dl");
    }
    const ProgramRun ran = RunNuvget({c.url, target, "--md5", info.md5}, dir);
    EXPECT_EQ(ran.exitCode, c.exitCode);
    const std::string line = LastLine(ran.err);
    EXPECT_EQ(line.rfind(c.says, 0), 0u) << ran.err;
    if (c.dirUnderAFile) {
      EXPECT_NE(line.find(target + "/pkg.bin.~P2S"), std::string::npos) << line;
      // The log goes where it can: the private temporary folder.
      const std::string log = dir.File("tmp/nuv-" + std::to_string(geteuid()) + "/nuvget.log");
      EXPECT_NE(ReadWholeFile(log).find("[ERROR] nuvget, failed, task_id=[1], result=[9]."),
                std::string::npos);
      EXPECT_NE(line.find(log), std::string::npos) << line;
    }
  }
}

TEST(NuvgetProgress, HundredPercentOnlyWhenNothingIsMissing) {
  struct Case {
    int64_t downloaded, total;
    const char* text;
  } cases[] = {
      {0, 0, "0.0%"},
      {0, 1000, "0.0%"},
      {999, 1000, "99.9%"},
      {9999, 10000, "99.9%"},
      {1000, 1000, "100.0%"},
      {(1LL << 40) - 1, 1LL << 40, "99.9%"},
      {1LL << 62, 1LL << 62, "100.0%"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProgressPercent(c.downloaded, c.total), c.text) << c.downloaded << "/" << c.total;
}

}  // namespace
