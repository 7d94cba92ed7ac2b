#include <gtest/gtest.h>

#include <thread>

#include "support/temp_dir.h"
#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

using std::chrono::seconds;

constexpr int64_t kSize = 300000;

class PackageSideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    info_ = server_.Packages().AddGenerated("/pkg/a.bin", kSize, 7);
    ASSERT_TRUE(server_.Start());
  }
  std::string Url(const std::string& query = "") const { return server_.Url("/pkg/a.bin" + query); }
  static std::string Bytes(int64_t offset, int64_t length) {
    return PatternBytes(7, offset, static_cast<size_t>(length));
  }

  Server server_;
  PackageInfo info_;
};

TEST_F(PackageSideTest, HeadAndWholeGetDescribeTheSameBytes) {
  FetchResult head = Fetch(Url(), FetchOptions().Head());
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), std::to_string(kSize));
  EXPECT_EQ(head.Header("Accept-Ranges"), "bytes");

  FetchResult get = Fetch(Url());
  ASSERT_EQ(get.code, CURLE_OK);
  EXPECT_EQ(get.status, 200);
  EXPECT_EQ(get.body, Bytes(0, kSize));
  EXPECT_EQ(Md5Hex(get.body), info_.md5);

  // An answer counts as finished just after its last byte left, so the client may be first.
  ASSERT_TRUE(server_.WaitFor(
      [](const auto& all) { return all.size() == 2 && all[0].finished && all[1].finished; },
      seconds(10)));
  auto log = server_.Requests();
  EXPECT_EQ(log[0].bodyBytesSent, 0);
  EXPECT_EQ(log[1].bodyBytesSent, kSize);
}

TEST_F(PackageSideTest, RangesAnswer206WithTheirSliceOr416) {
  struct Case {
    std::string range;
    int64_t first, last;  // last < 0: 416
  } cases[] = {
      {"0-99", 0, 99},
      {"299990-", 299990, kSize - 1},
      {"299000-999999", 299000, kSize - 1},
      {"-5", kSize - 5, kSize - 1},
      {"300000-", 0, -1},
      {"400000-400010", 0, -1},
  };
  for (const Case& c : cases) {
    FetchResult r = Fetch(Url(), FetchOptions().Range(c.range));
    if (c.last < 0) {
      EXPECT_EQ(r.status, 416) << c.range;
      EXPECT_EQ(r.Header("Content-Range"), "bytes */" + std::to_string(kSize)) << c.range;
      EXPECT_TRUE(r.body.empty()) << c.range;
      continue;
    }
    EXPECT_EQ(r.status, 206) << c.range;
    EXPECT_EQ(r.Header("Content-Range"), "bytes " + std::to_string(c.first) + "-" +
                                             std::to_string(c.last) + "/" + std::to_string(kSize))
        << c.range;
    EXPECT_EQ(r.body, Bytes(c.first, c.last - c.first + 1)) << c.range;
  }
}

TEST_F(PackageSideTest, QueryFaultsChangeTheAnswer) {
  FetchResult ignored = Fetch(Url("?fault=ignore_range"), FetchOptions().Range("100-199"));
  EXPECT_EQ(ignored.status, 200);
  EXPECT_TRUE(ignored.Header("Content-Range").empty());
  EXPECT_EQ(ignored.body, Bytes(0, kSize));

  FetchResult dropped = Fetch(Url("?fault=drop_after:1000"));
  EXPECT_EQ(dropped.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(dropped.body, Bytes(0, 1000));
  ASSERT_TRUE(server_.WaitFor([](const auto& all) { return all.back().finished; }, seconds(10)));
  EXPECT_EQ(server_.Requests().back().bodyBytesSent, 1000);

  // A capped range is an honest short answer: the transfer ends cleanly before the range does.
  FetchResult capped = Fetch(Url("?fault=range_cap:100"), FetchOptions().Range("1000-9999"));
  EXPECT_EQ(capped.code, CURLE_OK);
  EXPECT_EQ(capped.status, 206);
  EXPECT_EQ(capped.Header("Content-Range"), "bytes 1000-1099/" + std::to_string(kSize));
  EXPECT_EQ(capped.body, Bytes(1000, 100));

  // The drop counts bytes of this answer, from the range's first byte.
  FetchResult droppedRange = Fetch(Url("?fault=drop_after:10"), FetchOptions().Range("5000-"));
  EXPECT_EQ(droppedRange.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(droppedRange.body, Bytes(5000, 10));

  // Corruption is placed by file offset, whatever range carries it.
  FetchResult corrupt = Fetch(Url("?fault=corrupt_from:1010"), FetchOptions().Range("1000-1019"));
  ASSERT_EQ(corrupt.body.size(), 20u);
  std::string expected = Bytes(1000, 20);
  for (size_t i = 10; i < 20; ++i) expected[i] = static_cast<char>(~expected[i]);
  EXPECT_EQ(corrupt.body, expected);

  FetchResult longer = Fetch(Url("?fault=wrong_length:400000"), FetchOptions().Head());
  EXPECT_EQ(longer.Header("Content-Length"), "400000");
  FetchResult shortBody = Fetch(Url("?fault=wrong_length:400000"));
  EXPECT_EQ(shortBody.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(shortBody.body, Bytes(0, kSize));
  FetchResult cut = Fetch(Url("?fault=wrong_length:100"));
  EXPECT_EQ(cut.code, CURLE_OK);
  EXPECT_EQ(cut.body, Bytes(0, 100));

  for (int status : {403, 404, 500, 416}) {
    FetchResult r = Fetch(Url("?fault=status:" + std::to_string(status)));
    EXPECT_EQ(r.status, status);
  }
  EXPECT_EQ(Fetch(Url("?fault=bogus")).status, 400);
}

TEST_F(PackageSideTest, RedirectLeadsToTheDisablePage) {
  FetchResult plain = Fetch(Url("?fault=redirect"));
  EXPECT_EQ(plain.status, 302);
  EXPECT_EQ(plain.Header("Location"), "/disable.htm");

  FetchResult followed = Fetch(Url("?fault=redirect"), FetchOptions().Follow());
  EXPECT_EQ(followed.status, 200);
  EXPECT_NE(followed.effectiveUrl.find("disable.htm"), std::string::npos);
}

TEST_F(PackageSideTest, ThrottledBodyStillArrivesWhole) {
  FetchResult r = Fetch(Url("?fault=throttle:400000"), FetchOptions().Range("0-99999"));
  EXPECT_EQ(r.status, 206);
  EXPECT_EQ(r.body, Bytes(0, 100000));
}

TEST_F(PackageSideTest, StallHoldsUntilTheClientGivesUp) {
  // The client's own time limit stands for the engine's stall rule.
  FetchResult r = Fetch(Url("?fault=stall_after:4096"), FetchOptions().Timeout(2));
  EXPECT_EQ(r.code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(r.body, Bytes(0, 4096));
  // The server lets go once the client has left, long before its own hold limit.
  EXPECT_TRUE(server_.WaitFor([](const auto& all) { return all.size() == 1 && all[0].finished; },
                              seconds(30)));
}

TEST_F(PackageSideTest, StopEndsAStalledAnswer) {
  std::atomic<long long> received{0};
  FetchResult r;
  std::thread client(
      [&] { r = Fetch(Url("?fault=stall_after:1000"), FetchOptions().Count(&received)); });
  auto deadline = std::chrono::steady_clock::now() + seconds(10);
  while (received < 1000 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(received, 1000);
  server_.Stop();
  client.join();
  EXPECT_EQ(r.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(r.body, Bytes(0, 1000));
}

TEST_F(PackageSideTest, DelayedAnswerSendsNothingUntilStopCutsIt) {
  FetchResult r;
  std::thread client([&] { r = Fetch(Url("?fault=delay:600000")); });
  ASSERT_TRUE(server_.WaitForRequests(1, "GET", "/pkg/a.bin", seconds(10)));
  server_.Stop();
  client.join();
  // Stop cuts the connection: no headers ever came.
  EXPECT_NE(r.code, CURLE_OK);
  EXPECT_EQ(r.status, 0);
}

TEST_F(PackageSideTest, ApiFaultsApplyPerAddressAndCanBeUsedUp) {
  server_.Packages().SetFaults("/pkg/a.bin", *ParseFaults("status:500"), "", 1);
  EXPECT_EQ(Fetch(Url(), FetchOptions().Head()).status, 500);  // HEAD sees it without using it
  EXPECT_EQ(Fetch(Url()).status, 500);
  EXPECT_EQ(Fetch(Url()).status, 200);

  server_.Packages().SetFaults("*", *ParseFaults("size:1000"), "127.0.0.1");
  FetchResult r = Fetch(Url());
  EXPECT_EQ(r.body, Bytes(0, 1000));
  server_.Packages().ClearFaults();
  EXPECT_EQ(Fetch(Url(), FetchOptions().Head()).Header("Content-Length"), std::to_string(kSize));
}

TEST(PackageSideFiles, FilePackagesServeTheirBytes) {
  TempDir dir;
  std::string bytes = PatternBytes(3, 0, 5000);
  std::filesystem::create_directories(dir.Path() + "sub");
  WriteWholeFile(dir.File("sub/f.bin"), bytes);
  WriteWholeFile(dir.File("empty.bin"), "");
  Server server;
  EXPECT_EQ(server.Packages().AddFolder("/files", dir.Path()), 2);
  auto info = server.Packages().Find("/files/sub/f.bin");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->md5, Md5Hex(bytes));
  ASSERT_TRUE(server.Start());

  EXPECT_EQ(Fetch(server.Url("/files/sub/f.bin")).body, bytes);
  EXPECT_EQ(Fetch(server.Url("/files/sub/f.bin"), FetchOptions().Range("4990-")).body,
            bytes.substr(4990));
  FetchResult empty = Fetch(server.Url("/files/empty.bin"));
  EXPECT_EQ(empty.status, 200);
  EXPECT_TRUE(empty.body.empty());
  EXPECT_EQ(Fetch(server.Url("/files/empty.bin"), FetchOptions().Range("0-")).status, 416);
  EXPECT_EQ(Fetch(server.Url("/files/missing.bin")).status, 404);
}

TEST(PackageSideAddresses, EveryAddressServesAndIsRecorded) {
  Server server;
  server.Packages().AddGenerated("/p.bin", 2000, 1);
  server.Packages().SetFaults("/p.bin", *ParseFaults("size:1999"), "127.0.0.3");
  ServerOptions options;
  options.addresses = {"127.0.0.2", "127.0.0.3"};
  ASSERT_TRUE(server.Start(options));

  EXPECT_EQ(
      Fetch(server.Url("/p.bin", "127.0.0.2"), FetchOptions().Head()).Header("Content-Length"),
      "2000");
  EXPECT_EQ(
      Fetch(server.Url("/p.bin", "127.0.0.3"), FetchOptions().Head()).Header("Content-Length"),
      "1999");
  auto log = server.Requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].localAddress, "127.0.0.2");
  EXPECT_EQ(log[1].localAddress, "127.0.0.3");
  EXPECT_EQ(log[0].localPort, server.Port());
  EXPECT_EQ(log[1].method, "HEAD");
  EXPECT_EQ(log[1].status, 200);
}

}  // namespace
}  // namespace testbed
