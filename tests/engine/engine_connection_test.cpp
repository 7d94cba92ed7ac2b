// One RangeConnection against a real server: what it accepts, writes and ends in.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "engine/range_connection.h"
#include "engine_fixture.h"

using namespace ns_NUK;
using std::chrono::seconds;

namespace {

// The package as the connection wrote it; optionally failing every write.
class MemoryWriter : public IFileWriter {
 public:
  MemoryWriter(int64_t size, bool fail) : bytes_(static_cast<size_t>(size), '\0'), fail_(fail) {}
  int64_t Write(int64_t offset, int64_t length, const void* data) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (fail_ || offset < 0 || offset + length > static_cast<int64_t>(bytes_.size())) return 0;
    std::memcpy(&bytes_[static_cast<size_t>(offset)], data, static_cast<size_t>(length));
    return length;
  }
  std::string Bytes() {
    std::lock_guard<std::mutex> guard(lock_);
    return bytes_;
  }

 private:
  std::mutex lock_;
  std::string bytes_;
  bool fail_;
};

bool WaitDone(const RangeConnection& c, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!c.ThreadDone()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

class RangeConnectionTest : public enginetest::EngineTest {};

TEST_F(RangeConnectionTest, AcceptsOnlyTheAskedBytesOfTheRightAnswer) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  const int64_t total = 300000;
  server.Packages().AddGenerated("/c.bin", total);
  // The reference bytes: one clean whole-file transfer.
  MemoryWriter reference(total, false);
  {
    RangeConnection c;
    ASSERT_TRUE(c.Init(server.Url("/c.bin"), 0, -1, "", u""));
    c.SetTotal(total);
    c.SetWriter(&reference);
    ASSERT_TRUE(c.Start());
    ASSERT_TRUE(WaitDone(c, seconds(30)));
    ASSERT_EQ(c.State(), kConnCompleted);
    ASSERT_EQ(c.Saved(), total);
  }
  struct Case {
    const char* name;
    std::string faults;
    int64_t start, end;
    bool failWrites;
    int state;
    int refused;
    int64_t saved;
  } cases[] = {
      {"a middle range", "", 1000, 50999, false, kConnCompleted, kRefusedNone, 50000},
      {"more than asked is cut at the end", "ignore_range", 0, 999, false, kConnCompleted,
       kRefusedNone, 1000},
      {"whole file for a later range", "ignore_range", 5000, 9999, false, kConnFailed,
       kRefusedIgnoredRange, 0},
      {"error page", "status:404", 0, 999, false, kConnFailed, kRefusedNone, 0},
      {"another file size", "wrong_length:200000", 0, 999, false, kConnFailed, kRefusedContentRange,
       0},
      {"disable page", "redirect", 0, 999, false, kConnFailed, kRefusedDisablePage, 0},
      {"clean end before the range is complete", "range_cap:700", 0, 9999, false, kConnException,
       kRefusedNone, 700},
      {"write error", "", 0, 9999, true, kConnFailed, kRefusedWriteError, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    server.Packages().ClearFaults();
    if (!k.faults.empty()) server.Packages().SetFaults("/c.bin", *testbed::ParseFaults(k.faults));
    MemoryWriter writer(total, k.failWrites);
    RangeConnection c;
    ASSERT_TRUE(c.Init(server.Url("/c.bin"), k.start, k.end, "", u""));
    c.SetTotal(total);
    c.SetBufferSize(1024 * 1024);
    c.SetWriter(&writer);
    ASSERT_TRUE(c.Start());
    ASSERT_TRUE(WaitDone(c, seconds(30)));
    EXPECT_EQ(c.State(), k.state);
    EXPECT_EQ(c.Refused(), k.refused);
    EXPECT_EQ(c.Saved(), k.saved);
    const size_t from = static_cast<size_t>(k.start);
    EXPECT_EQ(writer.Bytes().substr(from, static_cast<size_t>(c.Saved())),
              reference.Bytes().substr(from, static_cast<size_t>(c.Saved())));
    EXPECT_FALSE(c.Cancel());  // a final state stays
  }
}

TEST_F(RangeConnectionTest, PinnedAddressAndCancel) {
  testbed::Server server;
  testbed::ServerOptions options;
  options.addresses = {"127.0.0.1", "127.0.0.2"};
  ASSERT_TRUE(server.Start(options));
  const int64_t total = 4 * 1024 * 1024;
  server.Packages().AddGenerated("/s.bin", total);
  server.Packages().SetFaults("/s.bin", *testbed::ParseFaults("throttle:20000"));
  MemoryWriter writer(total, false);
  RangeConnection c;
  // The URL names the first address; the connection reaches the pinned second one.
  ASSERT_TRUE(c.Init(server.Url("/s.bin", "127.0.0.1"), 0, -1, "127.0.0.2", u""));
  c.SetTotal(total);
  c.SetWriter(&writer);
  ASSERT_TRUE(c.Start());
  ASSERT_TRUE(server.WaitForRequests(1, "GET", "/s.bin", std::chrono::seconds(10)));
  EXPECT_EQ(server.Requests().back().localAddress, "127.0.0.2");
  const auto deadline = std::chrono::steady_clock::now() + seconds(10);
  while (c.Downloaded() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(c.Cancel());
  ASSERT_TRUE(WaitDone(c, seconds(10)));
  EXPECT_EQ(c.State(), kConnCancelled);
  // What was received before the cancel reached the file.
  EXPECT_EQ(c.Saved(), c.Downloaded());
  EXPECT_GT(c.Saved(), 0);
}
