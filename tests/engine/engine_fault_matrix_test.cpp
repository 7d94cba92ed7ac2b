// Every way a package server can misbehave, one case each, over a real server on loopback: the
// task's result code, its notification milestones and, for successes, the file's digest. Each row
// is a test of its own: the rows that exhaust ten attempts take seconds each, and all of them in
// one test took more than half of the per-test time limit in a sanitized build on a loaded machine.
#include <gtest/gtest.h>

#include <cctype>

#include "engine/file_digest.h"
#include "engine_fixture.h"

using namespace enginetest;
using std::chrono::seconds;

namespace {

const char kHead[] = "prep start name size ";
const char kOk0[] = "params try:0 md5 match end:0:0 ok";
constexpr int64_t kSize = 3 * 1024 * 1024 + 123;

struct Row {
  const char* name;
  std::string faults;  // testbed fault text ("" none)
  int uses;            // GET answers that carry the faults (-1 all)
  bool sizeKnown;      // the resolution hands in the size: no size query sees the faults
  bool serverDown;
  int result;
  std::string events;
  bool withDigest = true;
};

std::vector<Row> Rows() {
  const std::string tooLong = "wrong_length:" + std::to_string(kSize + 70000);
  const std::string tooShort = "wrong_length:" + std::to_string(kSize - 70000);
  return {
      {"clean", "", -1, false, false, 0, kHead + std::string(kOk0)},
      {"stall then recover", "stall_after:40000", 3, true, false, 0, kHead + std::string(kOk0)},
      {"drop then recover", "drop_after:30000", 4, true, false, 0, kHead + std::string(kOk0)},
      {"throttled", "throttle:4000000", -1, true, false, 0, kHead + std::string(kOk0)},
      {"range ignored", "ignore_range", -1, true, false, 0,
       kHead + Attempts(0, 1, 3) + " params try:1 md5 match end:1:0 ok"},
      {"range refused", "status:416", -1, true, false, 3, kHead + Attempts(0, 10, 3) + " fail:3"},
      {"http 404", "status:404", -1, true, false, 3, kHead + Attempts(0, 10, 3) + " fail:3"},
      {"http 500", "status:500", -1, true, false, 3, kHead + Attempts(0, 10, 3) + " fail:3"},
      {"redirect to disable page", "redirect", -1, true, false, 3,
       kHead + Attempts(0, 10, 3) + " fail:3"},
      {"wrong bytes", "corrupt_from:1000000", -1, true, false, 11,
       kHead + Attempts(0, 10, 11, true) + " fail:11"},
      {"length announced too long", tooLong, -1, false, false, 3,
       kHead + Attempts(0, 10, 3) + " fail:3"},
      // Without a digest only the received bytes decide: a pre-sized file is not taken as done.
      {"length announced too long, no digest", tooLong, -1, false, false, 3,
       kHead + Attempts(0, 10, 3) + " fail:3", false},
      {"length announced too short", tooShort, -1, false, false, 11,
       kHead + Attempts(0, 10, 11, true) + " fail:11"},
      {"server down", "", -1, true, true, 2, kHead + Attempts(0, 10, 2) + " fail:2"},
      {"no size: 404", "status:404", -1, false, false, 5, "prep start name info:2 fail:5"},
      {"no size: disable page", "redirect", -1, false, false, 5, "prep start name info:2 fail:5"},
  };
}

// "length announced too long, no digest" -> "LengthAnnouncedTooLongNoDigest".
std::string CaseName(const ::testing::TestParamInfo<Row>& info) {
  std::string out;
  bool upper = true;
  for (const char* p = info.param.name; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (!std::isalnum(c)) {
      upper = true;
      continue;
    }
    out += static_cast<char>(upper ? std::toupper(c) : c);
    upper = false;
  }
  return out;
}

}  // namespace

class FaultMatrixTest : public EngineTest, public ::testing::WithParamInterface<Row> {
 protected:
  // A member, so it outlives the downloader, which the fixture's tear-down ends.
  KnownSizeResolver known_{kSize, "127.0.0.1"};
};

TEST_P(FaultMatrixTest, EndsWithTheRightResult) {
  const Row& row = GetParam();
  const int id = 100;
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const std::string path = "/m/pkg.bin";
  const testbed::PackageInfo info = server.Packages().AddGenerated(path, kSize);
  if (!row.faults.empty()) {
    auto faults = testbed::ParseFaults(row.faults);
    ASSERT_TRUE(faults.has_value());
    server.Packages().SetFaults(path, *faults, "", row.uses);
  }
  std::string url = server.Url(path);
  if (row.serverDown) url = "http://127.0.0.1:1" + path;
  ns_NUK::SetHostResolver(row.sizeKnown ? static_cast<ns_NUK::IHostResolver*>(&known_)
                                        : &ns_NUK::NoHostResolution());
  const std::string folder = dir_.File("m");
  ASSERT_EQ(Add(url, folder, id, row.withDigest ? info.md5 : ""), id);
  ASSERT_TRUE(recorder_.WaitFinished(id, seconds(120)));
  EXPECT_EQ(recorder_.Result(id), row.result);
  EXPECT_EQ(recorder_.Joined(id), row.events);
  if (row.result == 0) {
    EXPECT_EQ(ns_NUK::FileMd5(folder + "/pkg.bin"), Upper(info.md5));
    EXPECT_FALSE(std::filesystem::exists(folder + "/pkg.bin.~P2S"));
  } else {
    EXPECT_FALSE(std::filesystem::exists(folder + "/pkg.bin"));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultMatrixTest, ::testing::ValuesIn(Rows()), CaseName);
