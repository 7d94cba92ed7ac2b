// The catalogue's events as the session raises them: each builder's event name and properties
// (names, types, order), the product super properties, and values the record layer refuses.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "analytics/analytics_servers.h"
#include "analytics/usage_tracker.h"
#include "tracker_env.h"

using analytics::UsageTracker;

namespace {

struct Raised {
  std::function<void(UsageTracker&)> raise;
  std::string event;
  std::string ownProperties;  // the record's properties without the super properties
};

// The record's properties with the super properties named in `supers` removed, compact.
std::string OwnProperties(const cJSON* record, const std::vector<std::string>& supers) {
  cJSON* props = cJSON_Duplicate(cJSON_GetObjectItemCaseSensitive(record, "properties"), 1);
  for (const std::string& name : supers)
    cJSON_DeleteItemFromObjectCaseSensitive(props, name.c_str());
  char* text = cJSON_PrintUnformatted(props);
  std::string out = text ? text : "";
  cJSON_free(text);
  cJSON_Delete(props);
  return out;
}

std::vector<std::string> AllSuperNames() {
  std::vector<std::string> names(std::begin(kSuperNames), std::end(kSuperNames));
  for (const char* n :
       {"downloader_ver", "scene_code", "pid", "pver", "psource", "pbrand", "plang"})
    names.push_back(n);
  return names;
}

}  // namespace

TEST_F(TrackerTest, CatalogueEventsCarryTheirPropertiesInOrder) {
  analytics::DownloadRecord finish;
  finish.type = "product";
  finish.state = "finish";
  finish.times = 2;
  finish.resumedown = 1;
  finish.domain = "dl.example.test";
  finish.speed = 1048576;
  finish.duration = 12;
  finish.error_code = 0;
  finish.thread = 8;
  finish.buffer = 65536;

  const std::vector<Raised> table = {
      {[](UsageTracker& t) { t.TrackEvent("downloader_startup"); }, "downloader_startup", "{}"},
      {[](UsageTracker& t) { t.TrackEvent("downloader_click", "button", "install"); },
       "downloader_click", "{\"button\":\"install\"}"},
      {[](UsageTracker& t) { t.TrackEvent("pop_view", "page", "install_error_disk_full"); },
       "pop_view", "{\"page\":\"install_error_disk_full\"}"},
      {[](UsageTracker& t) { t.TrackEvent("downloader_web", "page", "thank_you_page"); },
       "downloader_web", "{\"page\":\"thank_you_page\"}"},
      {[](UsageTracker& t) { t.TrackPopClick("install_error_disk", "change_install_location"); },
       "pop_click", "{\"button\":\"change_install_location\",\"page\":\"install_error_disk\"}"},
      {[](UsageTracker& t) {
         t.TrackConfig("Capturo", "Capturo.exe", 123456789012, "https://d/x86.exe", "aa",
                       "https://d/x64.exe", "bb", 0);
       },
       "downloader_config",
       "{\"error_code\":0,\"exe_name\":\"Capturo.exe\",\"name\":\"Capturo\",\"pkg_md5\":\"aa\","
       "\"pkg_size\":123456789012,\"pkg_url\":\"https://d/x86.exe\",\"x64_pkg_md5\":\"bb\","
       "\"x64_pkg_url\":\"https://d/x64.exe\"}"},
      {[](UsageTracker& t) { t.TrackDns("dl.example.test", "127.0.0.2,127.0.0.3"); },
       "downloader_dns", "{\"domain\":\"dl.example.test\",\"ip\":\"127.0.0.2,127.0.0.3\"}"},
      {[](UsageTracker& t) { t.TrackCover("2.1.0.5", "downloader_cover_yes"); }, "downloader_cover",
       "{\"button\":\"downloader_cover_yes\",\"cover_version\":\"2.1.0.5\"}"},
      {[finish](UsageTracker& t) { t.TrackDownload(finish); }, "downloader_download",
       "{\"buffer\":65536,\"domain\":\"dl.example.test\",\"duration\":12,\"error_code\":0,"
       "\"resumedown\":1,\"speed\":1048576,\"state\":\"finish\",\"thread\":8,\"times\":2,"
       "\"type\":\"product\"}"},
      {[](UsageTracker& t) {
         analytics::DownloadRecord begin;
         begin.type = "donet";
         begin.state = "begin";
         begin.times = 1;
         t.TrackDownload(begin);
       },
       "downloader_download",
       "{\"buffer\":0,\"domain\":\"\",\"duration\":0,\"error_code\":0,\"resumedown\":0,"
       "\"speed\":0,\"state\":\"begin\",\"thread\":0,\"times\":1,\"type\":\"donet\"}"},
      {[](UsageTracker& t) { t.TrackInstall("depend", "finish", 1, 500, 30, -3); },
       "downloader_install",
       "{\"duration\":30,\"error_code\":-3,\"speed\":500,\"state\":\"finish\",\"times\":1,"
       "\"type\":\"depend\"}"},
      {[](UsageTracker& t) { t.TrackCrash("0x0040A1B2", "4096", "/opt/Veltrin/nuv", ".text", 11); },
       "downloader_crash",
       "{\"crashaddr\":\"0x0040A1B2\",\"crashfilename\":\"/opt/Veltrin/nuv\","
       "\"crashoffset\":\"4096\",\"crashsection\":\".text\",\"error_code\":11}"},
      {[](UsageTracker& t) { t.TrackStartProduct(42); }, "start_product", "{\"error_code\":42}"},
      {[](UsageTracker& t) { t.TrackRedeemFailed("free_membership_benefits", 7); }, "redeem_failed",
       "{\"error\":7,\"page\":\"free_membership_benefits\"}"},
      // A value the record layer refuses leaves the property out; the event still goes.
      {[](UsageTracker& t) { t.TrackCover("\xB7\xC9", "downloader_cover_no"); }, "downloader_cover",
       "{\"button\":\"downloader_cover_no\"}"},
  };

  UsageTracker tracker(StagingPath());
  tracker.Init(Urls(), "{DIST-5}", analytics::kTrackerTid);
  tracker.SetSessionProperties(u"scene-7", u"10001", u"3.2.1", u"web", u"Veltrin", u"zh-CN");
  testing::internal::CaptureStderr();
  for (const Raised& r : table) r.raise(tracker);
  ASSERT_TRUE(collector_->WaitForRecords(table.size(), kWait));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("String property 'cover_version' is not valid UTF-8 string"),
            std::string::npos);

  const std::vector<std::string> records = collector_->Records();
  ASSERT_EQ(records.size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    Json json = ParseJson(records[i]);
    ASSERT_TRUE(json) << records[i];
    EXPECT_EQ(StringMember(json.get(), "event"), table[i].event) << i;
    EXPECT_EQ(OwnProperties(json.get(), AllSuperNames()), table[i].ownProperties) << i;
    const cJSON* props = cJSON_GetObjectItemCaseSensitive(json.get(), "properties");
    EXPECT_EQ(StringMember(props, "scene_code"), "scene-7");
    EXPECT_EQ(cJSON_GetNumberValue(cJSON_GetObjectItemCaseSensitive(props, "pid")), 10001);
    EXPECT_EQ(StringMember(props, "pver"), "3.2.1");
    EXPECT_EQ(StringMember(props, "psource"), "web");
    EXPECT_EQ(StringMember(props, "pbrand"), "Veltrin");
    EXPECT_EQ(StringMember(props, "plang"), "zh-CN");
    EXPECT_FALSE(StringMember(props, "downloader_ver").empty());
  }
}

TEST_F(TrackerTest, RefusedSuperPropertyIsLeftOutWhileOthersAreSent) {
  UsageTracker tracker(StagingPath());
  tracker.Init(Urls(), "{DIST-6}", analytics::kTrackerTid);
  testing::internal::CaptureStderr();
  tracker.SetSuperProperty("pbrand", "\xB7\xC9\xB9\xFB");  // a brand in a double-byte code page
  tracker.SetSuperProperty("psource", "web");
  testing::internal::GetCapturedStderr();
  tracker.TrackEvent("downloader_pop");
  ASSERT_TRUE(collector_->WaitForRecords(1, kWait));
  Json json = ParseJson(collector_->Records()[0]);
  const cJSON* props = cJSON_GetObjectItemCaseSensitive(json.get(), "properties");
  EXPECT_FALSE(cJSON_HasObjectItem(props, "pbrand"));
  EXPECT_EQ(StringMember(props, "psource"), "web");
}

TEST_F(TrackerTest, AnEventWithABadPropertyNameIsDropped) {
  UsageTracker tracker(StagingPath());
  tracker.Init(Urls(), "{DIST-7}", analytics::kTrackerTid);
  testing::internal::CaptureStderr();
  tracker.TrackEvent("downloader_click", "1button", "x");
  tracker.TrackEvent("downloader_click", "button", "help");
  ASSERT_TRUE(collector_->WaitForRecords(1, kWait));
  tracker.Stop();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "The Property Key need to be a valid variable name.");
  ASSERT_EQ(collector_->Records().size(), 1u);
  Json json = ParseJson(collector_->Records()[0]);
  EXPECT_EQ(StringMember(cJSON_GetObjectItemCaseSensitive(json.get(), "properties"), "button"),
            "help")
      << collector_->Records()[0];
}
