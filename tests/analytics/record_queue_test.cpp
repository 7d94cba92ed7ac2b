// The record queue against the loopback collector: batch bodies, batch size, capacity, host
// fallback, put-back after a failed send, TLS checks and the staging file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "analytics/sdk/record_queue.h"
#include "analytics/sdk/staging_file.h"
#include "collector_env.h"

using analytics_sdk::RecordQueue;

namespace {

std::string Rec(int i) {
  return "{\"n\":" + std::to_string(i) + ",\"s\":\"a b+c/d=\"}";
}

std::vector<std::string> Recs(int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i < to; ++i) out.push_back(Rec(i));
  return out;
}

template <typename F>
std::string StderrOf(F&& f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

}  // namespace

class RecordQueueTest : public CollectorTest {
 protected:
  std::unique_ptr<RecordQueue> MakeQueue() {
    return std::make_unique<RecordQueue>(StagingPath(), Urls());
  }
};

TEST_F(RecordQueueTest, OneRecordIsPostedAsGzipBase64PercentEncodedForm) {
  auto queue = MakeQueue();
  queue->Add(Rec(1));
  ASSERT_TRUE(queue->Flush());
  EXPECT_EQ(queue->Size(), 0u);

  const std::vector<testbed::AnalyticsBatch> batches = collector_->Batches();
  ASSERT_EQ(batches.size(), 1u);
  const testbed::AnalyticsBatch& b = batches[0];
  EXPECT_TRUE(b.decoded) << b.error;
  EXPECT_EQ(b.localAddress, "127.0.0.1");
  EXPECT_EQ(b.project, "UA_Nuv_Web");
  EXPECT_EQ(b.gzipFlag, "1");
  EXPECT_EQ(b.json, "[" + Rec(1) + "]");

  const std::string prefix = "data_list=", suffix = "&gzip=1";
  ASSERT_GT(b.body.size(), prefix.size() + suffix.size());
  EXPECT_EQ(b.body.substr(0, prefix.size()), prefix);
  EXPECT_EQ(b.body.substr(b.body.size() - suffix.size()), suffix);
  const std::string encoded =
      b.body.substr(prefix.size(), b.body.size() - prefix.size() - suffix.size());
  for (char c : encoded) EXPECT_TRUE(isalnum(static_cast<unsigned char>(c)) || c == '%') << c;
  std::string gz;
  ASSERT_TRUE(
      testbed::AnalyticsSide::Base64Decode(testbed::AnalyticsSide::PercentDecode(encoded), gz));
  ASSERT_GT(gz.size(), 10u);
  EXPECT_EQ(static_cast<unsigned char>(gz[0]), 0x1f);  // gzip wrapper
  EXPECT_EQ(static_cast<unsigned char>(gz[1]), 0x8b);
  EXPECT_EQ(static_cast<unsigned char>(gz[8]), 2);  // "slowest, best" compression flag: level 9

  const std::vector<testbed::RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_TRUE(requests[0].tls);
  EXPECT_EQ(requests[0].Header("User-Agent"), "Analytics CPP SDK 0.8");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_FALSE(requests[0].HasHeader("Cookie"));
}

TEST_F(RecordQueueTest, CookieIsSentWhenSet) {
  auto queue = MakeQueue();
  queue->SetCookie("sid=42");
  queue->Add(Rec(1));
  ASSERT_TRUE(queue->Flush());
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].Header("Cookie"), "sid=42");
}

TEST_F(RecordQueueTest, FlushSendsAtMostThirtyOldestFirst) {
  auto queue = MakeQueue();
  for (const std::string& r : Recs(0, 65)) queue->Add(r);
  for (size_t left : {35u, 5u, 0u}) {
    ASSERT_TRUE(queue->Flush());
    EXPECT_EQ(queue->Size(), left);
  }
  EXPECT_TRUE(queue->Flush());  // empty: succeeds without a post
  const std::vector<testbed::AnalyticsBatch> batches = collector_->Batches();
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].records, Recs(0, 30));
  EXPECT_EQ(batches[1].records, Recs(30, 60));
  EXPECT_EQ(batches[2].records, Recs(60, 65));
}

TEST_F(RecordQueueTest, TheHundredAndFirstRecordPushesOutTheOldest) {
  auto queue = MakeQueue();
  for (const std::string& r : Recs(0, 101)) queue->Add(r);
  EXPECT_EQ(queue->Records(), Recs(1, 101));
}

TEST_F(RecordQueueTest, FallbackHostServesWhenThePrimaryFails) {
  auto queue = MakeQueue();
  collector_->SetStatus("127.0.0.1", 500);
  queue->Add(Rec(1));
  ASSERT_TRUE(queue->Flush());
  const std::vector<testbed::AnalyticsBatch> batches = collector_->Batches();
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].localAddress, "127.0.0.1");
  EXPECT_EQ(batches[0].status, 500);
  EXPECT_EQ(batches[1].localAddress, "127.0.0.2");
  EXPECT_EQ(collector_->Records(), std::vector<std::string>{Rec(1)});
}

TEST_F(RecordQueueTest, WhenBothHostsFailTheBatchReturnsToTheFront) {
  auto queue = MakeQueue();
  collector_->SetStatus("", 503);
  for (const std::string& r : Recs(0, 40)) queue->Add(r);
  bool ok = true;
  EXPECT_EQ(StderrOf([&] { ok = queue->Flush(); }), "Analytics SDK send failed: {\"code\":1}\n");
  EXPECT_FALSE(ok);
  EXPECT_EQ(queue->Records(), Recs(0, 40));
  EXPECT_EQ(collector_->Batches().size(), 2u);
}

TEST_F(RecordQueueTest, FailedFlushPutsBackOnlyTheNewestThatFit) {
  auto queue = MakeQueue();
  for (const std::string& r : Recs(0, 30)) queue->Add(r);
  collector_->SetStatus("", 500);
  std::atomic<bool> added{false};
  // While the batch is out, 80 newer records arrive.
  collector_->SetOnBatch([&](const testbed::AnalyticsBatch&) {
    if (added.exchange(true)) return;
    for (const std::string& r : Recs(100, 180)) queue->Add(r);
  });
  StderrOf([&] { EXPECT_FALSE(queue->Flush()); });
  std::vector<std::string> expected = Recs(10, 30);
  for (const std::string& r : Recs(100, 180)) expected.push_back(r);
  EXPECT_EQ(queue->Records(), expected);
}

TEST_F(RecordQueueTest, CertificatesAreVerified) {
  unsetenv("NUV_CA_BUNDLE");  // the testbed's CA is then unknown
  auto queue = MakeQueue();
  queue->Add(Rec(1));
  std::string err;
  bool ok = true;
  err = StderrOf([&] { ok = queue->Flush(); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(err.rfind("Analytics SDK send failed: ", 0), 0u) << err;
  EXPECT_TRUE(collector_->Batches().empty());
  EXPECT_EQ(queue->Records(), std::vector<std::string>{Rec(1)});
}

TEST_F(RecordQueueTest, TransferErrorsFailTheFlush) {
  // Nothing listens there any more.
  const std::vector<std::string> urls = Urls();
  server_.Stop();
  RecordQueue queue(StagingPath(), urls);
  queue.Add(Rec(1));
  std::string err = StderrOf([&] { EXPECT_FALSE(queue.Flush()); });
  EXPECT_EQ(err.rfind("Analytics SDK send failed: ", 0), 0u) << err;
  EXPECT_EQ(queue.Size(), 1u);
}

TEST_F(RecordQueueTest, StagingFileKeepsOnlyWholeRecordLines) {
  WriteWholeFile(StagingPath(),
                 "{\"a\":1}\n"
                 "\n"
                 "not json\n"
                 "  {\"indented\":1}\n"
                 "{\"c\":\"}\"}\r\n"
                 "}{\n"
                 "{\"d\":{\"e\":[1,2]}}\n"
                 "{\"two\":1}{\"in one\":2}\n"
                 "{\"cut\":{\"x\":1}");  // the writer died inside a nested object
  auto queue = MakeQueue();
  queue->LoadStagingIfPending();
  EXPECT_EQ(queue->Records(),
            (std::vector<std::string>{"{\"a\":1}", "{\"c\":\"}\"}", "{\"d\":{\"e\":[1,2]}}"}));
  EXPECT_EQ(std::filesystem::file_size(StagingPath()), 0u);
  // Loaded once only.
  WriteWholeFile(StagingPath(), "{\"late\":1}\n");
  queue->LoadStagingIfPending();
  EXPECT_EQ(queue->Size(), 3u);
}

TEST_F(RecordQueueTest, StagingLoadTakesTheNewestThatFitInFront) {
  std::string file;
  for (const std::string& r : Recs(0, 10)) file += r + "\n";
  WriteWholeFile(StagingPath(), file);
  auto queue = MakeQueue();
  for (const std::string& r : Recs(100, 195)) queue->Add(r);
  queue->LoadStagingIfPending();
  std::vector<std::string> expected = Recs(5, 10);
  for (const std::string& r : Recs(100, 195)) expected.push_back(r);
  EXPECT_EQ(queue->Records(), expected);
}

TEST_F(RecordQueueTest, HugeStagingFileIsReadOnlyFromItsEnd) {
  {
    const int fd = open(StagingPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    // 3 GiB of zero bytes without a line end (sparse), then a few records.
    const off_t hole = off_t{3} << 30;
    ASSERT_EQ(ftruncate(fd, hole), 0);
    std::string tail = "\n";
    for (const std::string& r : Recs(0, 150)) tail += r + "\n";
    tail += "{\"cut\":";
    ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), hole), static_cast<ssize_t>(tail.size()));
    close(fd);
  }
  auto queue = MakeQueue();
  queue->LoadStagingIfPending();
  EXPECT_EQ(queue->Records(), Recs(50, 150));
  EXPECT_EQ(std::filesystem::file_size(StagingPath()), 0u);
}

TEST_F(RecordQueueTest, ShutdownWritesTheQueueForTheNextRun) {
  {
    auto queue = MakeQueue();
    for (const std::string& r : Recs(0, 3)) queue->Add(r);
    queue->Shutdown();
  }
  EXPECT_EQ(ReadWholeFile(StagingPath()), Rec(0) + "\n" + Rec(1) + "\n" + Rec(2) + "\n");
  auto next = MakeQueue();
  next->Add(Rec(9));
  ASSERT_TRUE(next->Flush());  // loads the file first, in front of the new record
  EXPECT_EQ(collector_->Records(), (std::vector<std::string>{Rec(0), Rec(1), Rec(2), Rec(9)}));
}

TEST_F(RecordQueueTest, TwoInstancesEndingOneAfterTheOtherKeepBothSetsOfRecords) {
  auto first = MakeQueue();
  auto second = MakeQueue();
  first->LoadStagingIfPending();
  second->LoadStagingIfPending();
  first->Add(Rec(1));
  second->Add(Rec(2));
  first->Shutdown();
  second->Shutdown();
  EXPECT_EQ(ReadWholeFile(StagingPath()), Rec(1) + "\n" + Rec(2) + "\n");
}
