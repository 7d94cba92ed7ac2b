// The tracker's sending thread end to end: pending events, Init, the records that arrive, Stop,
// the staging file across two tracker lifetimes, and many threads raising events at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "analytics/analytics_servers.h"
#include "analytics/sdk/record.h"
#include "analytics/usage_tracker.h"
#include "stderr_capture.h"
#include "tracker_env.h"

using analytics::UsageTracker;
using trackertest::StderrOf;

TEST_F(TrackerTest, EventsRaisedBeforeInitArriveAfterItInOrderAndByteForByte) {
  UsageTracker tracker(StagingPath());
  for (int i = 0; i < 5; ++i)
    tracker.TrackEvent("e" + std::to_string(i), "k", "v\"" + std::to_string(i));
  tracker.SetSuperProperty("early", "ignored");  // no record layer yet
  EXPECT_FALSE(tracker.Initialized());

  tracker.Init(Urls(), "{DIST-1}", analytics::kTrackerTid);
  ASSERT_TRUE(tracker.Initialized());
  tracker.SetSuperProperty("later", "kept");  // may or may not reach the first events
  ASSERT_TRUE(collector_->WaitForRecords(5, kWait));
  tracker.Stop();
  EXPECT_TRUE(tracker.ThreadEnded());

  const std::vector<std::string> records = collector_->Records();
  ASSERT_EQ(records.size(), 5u);
  const analytics_sdk::utils::ObjectNode supers = tracker.Sdk()->SuperProperties();
  for (int i = 0; i < 5; ++i) {
    Json json = ParseJson(records[i]);
    ASSERT_TRUE(json) << records[i];
    EXPECT_EQ(StringMember(json.get(), "event"), "e" + std::to_string(i));
    EXPECT_EQ(StringMember(json.get(), "distinct_id"), "{DIST-1}");
    const cJSON* props = cJSON_GetObjectItemCaseSensitive(json.get(), "properties");
    EXPECT_EQ(StringMember(props, "tid"), "UA-Nuv-Web");
    EXPECT_EQ(StringMember(props, "ostype"), "windows");
    EXPECT_EQ(StringMember(props, "k"), "v\"" + std::to_string(i));
    EXPECT_FALSE(cJSON_HasObjectItem(props, "early"));
    for (const char* name : kSuperNames) EXPECT_TRUE(cJSON_HasObjectItem(props, name)) << name;

    // The bytes that arrived are the record the client built for that event and time.
    const int64_t time = static_cast<int64_t>(
        cJSON_GetNumberValue(cJSON_GetObjectItemCaseSensitive(json.get(), "time")));
    analytics_sdk::PropertiesNode own;
    own.SetString("k", "v\"" + std::to_string(i));
    analytics_sdk::utils::ObjectNode base = supers;
    if (!cJSON_HasObjectItem(props, "later")) base.Remove("later");
    std::string expected;
    ASSERT_TRUE(
        analytics_sdk::BuildRecord("e" + std::to_string(i), own, base, "{DIST-1}", time, expected));
    EXPECT_EQ(records[i], expected);
  }
  EXPECT_EQ(CountLogged("[INFO] tracker init tid=[UA-Nuv-Web], result=[1]."), 1);
  EXPECT_EQ(CountLogged("[INFO] tracker, event=[e3]."), 1);
  EXPECT_EQ(CountLogged("[INFO] tracker, exit thread."), 1);
}

TEST_F(TrackerTest, InitWithABadDistinctIdKeepsEventsPendingUntilAGoodOne) {
  UsageTracker tracker(StagingPath());
  tracker.TrackEvent("waiting");
  EXPECT_EQ(StderrOf([&] { tracker.Init(Urls(), "", analytics::kTrackerTid); }),
            "The Distinct ID is empty.\n");
  EXPECT_FALSE(tracker.Initialized());
  EXPECT_EQ(CountLogged("[INFO] tracker init tid=[UA-Nuv-Web], result=[0]."), 1);

  tracker.Init(Urls(), "{DIST-2}", analytics::kTrackerTid);
  tracker.Init(Urls(), "{OTHER}", "other");  // only the first good call counts
  ASSERT_TRUE(collector_->WaitForRecords(1, kWait));
  Json json = ParseJson(collector_->Records()[0]);
  EXPECT_EQ(StringMember(json.get(), "event"), "waiting");
  EXPECT_EQ(StringMember(json.get(), "distinct_id"), "{DIST-2}");
  EXPECT_EQ(CountLogged("[INFO] tracker init tid="), 2);
}

TEST_F(TrackerTest, RecordsNotSentByOneTrackerAreSentByTheNext) {
  collector_->SetStatus("", 500);
  {
    UsageTracker first(StagingPath());
    first.Init(Urls(), "{DIST-3}", analytics::kTrackerTid);
    testing::internal::CaptureStderr();
    for (const char* name : {"a1", "a2", "a3"}) first.TrackEvent(name);
    // Each event is followed by its own flush, which fails on both hosts.
    ASSERT_TRUE(collector_->WaitForBatches(6, kWait));
    first.Stop();
    ASSERT_TRUE(first.ThreadEnded());
    first.TrackEvent("after_stop");  // staged at exit, never sent by this tracker
    testing::internal::GetCapturedStderr();
  }
  EXPECT_EQ(CountLogged("[ERROR] tracker flush failed! event=[a2]"), 1);
  const std::string staged = ReadWholeFile(StagingPath());
  EXPECT_EQ(std::count(staged.begin(), staged.end(), '\n'), 4);

  collector_->SetStatus("", 200);
  collector_->Clear();
  UsageTracker next(StagingPath());
  next.Init(Urls(), "{DIST-3}", analytics::kTrackerTid);
  next.TrackEvent("b1");
  ASSERT_TRUE(collector_->WaitForRecords(5, kWait));
  std::vector<std::string> events;
  for (const std::string& r : collector_->Records())
    events.push_back(StringMember(ParseJson(r).get(), "event"));
  EXPECT_EQ(events, (std::vector<std::string>{"a1", "a2", "a3", "after_stop", "b1"}));
  EXPECT_EQ(ReadWholeFile(StagingPath()), "");
}

TEST_F(TrackerTest, EventsFromManyThreadsAllArriveInEachThreadsOrder) {
  UsageTracker tracker(StagingPath());
  constexpr int kThreads = 4, kEach = 15;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&tracker, t] {
      for (int i = 0; i < kEach; ++i) {
        tracker.TrackEvent("t" + std::to_string(t), "seq", std::to_string(i));
        tracker.SetSuperProperty("writer", static_cast<int64_t>(t));
      }
    });
  threads.emplace_back([&] { tracker.Init(Urls(), "{DIST-4}", analytics::kTrackerTid); });
  for (std::thread& th : threads) th.join();
  ASSERT_TRUE(collector_->WaitForRecords(kThreads * kEach, kWait));
  tracker.Stop();

  std::vector<int> next(kThreads, 0);
  for (const std::string& r : collector_->Records()) {
    Json json = ParseJson(r);
    const int t = std::stoi(StringMember(json.get(), "event").substr(1));
    const cJSON* props = cJSON_GetObjectItemCaseSensitive(json.get(), "properties");
    EXPECT_EQ(StringMember(props, "seq"), std::to_string(next[t]));
    ++next[t];
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST_F(TrackerTest, StopReturnsOnceThePendingEventsWereSent) {
  UsageTracker tracker(StagingPath());
  tracker.Init(Urls(), "{DIST-8}", analytics::kTrackerTid);
  for (const char* name : {"s1", "s2", "s3"}) tracker.TrackEvent(name);
  tracker.Stop();
  EXPECT_TRUE(tracker.ThreadEnded());
  EXPECT_EQ(collector_->Records().size(), 3u);
}

TEST(TrackerLifetime, StopWithoutEventsAndDestructionBeforeInitDoNothing) {
  TempDir dir;
  {
    UsageTracker tracker(dir.File("nuv_tracker"));
    tracker.Stop();
    tracker.TrackEvent("never_sent");  // no record layer: nothing to stage
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("nuv_tracker")));
}

TEST(AnalyticsServers, CollectorUrlsNameThePortAndProject) {
  EXPECT_EQ(analytics::CollectorUrl("sa.example.test"),
            "https://sa.example.test:8106/sa?project=UA_Nuv_Web");
}
