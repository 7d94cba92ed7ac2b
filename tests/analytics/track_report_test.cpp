// The download track report: the document built from a stored run, the state codes, the installer
// messages, and the post to the platform server with its local copy.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analytics/report_data_store.h"
#include "analytics/track_report.h"
#include "support/temp_dir.h"
#include "testbed/platform_side.h"
#include "testbed/testbed.h"

namespace {

using namespace std::chrono_literals;
using Members = std::vector<std::pair<std::string, std::string>>;

// Names and values in document order; a number shows as "#<value>".
Members ParseMembers(const std::string& json) {
  Members out;
  cJSON* doc = cJSON_Parse(json.c_str());
  if (!doc) return out;
  for (cJSON* m = doc->child; m; m = m->next) {
    out.emplace_back(m->string, cJSON_IsString(m) ? std::string(m->valuestring)
                                                  : "#" + std::to_string(m->valueint));
  }
  cJSON_Delete(doc);
  return out;
}

std::string MemberValue(const std::string& json, const std::string& name) {
  for (const auto& [n, v] : ParseMembers(json)) {
    if (n == name) return v;
  }
  return "<absent>";
}

TrackEnvironment FixedEnvironment(const std::string& tempFolder = "/nonexistent/") {
  TrackEnvironment env;
  env.fileVersion = "1.0.0.1";
  env.exeName = "CapturoSetup_10086_v2.run";
  env.winver = "6.1.0";
  env.is64Bit = true;
  env.iever = "-";
  env.now = 2000;
  env.gmtOffsetSeconds = 8 * 3600;
  env.systemLcid = 2052;
  env.localTimeText = "20261211120000";
  env.tempFolder = tempFolder;
  return env;
}

class TrackReportTest : public ::testing::Test {
 protected:
  analytics::CommonProperties values_;
  ReportDataStore store_{"http://127.0.0.1:9/", values_};
};

TEST_F(TrackReportTest, StoredRunGivesTheDocumentMemberForMember) {
  store_.SetReportValue("product_id", u"10086");
  store_.SetReportValue("client_sign", std::string("{0F1E-G}"));
  store_.SetReportNumber("downstatus", 2);
  store_.SetReportNumber("downcode", 7);
  store_.SetReportNumber("installstatus", 2);
  store_.SetReportNumber("installcode", 5);
  store_.SetReportNumber("resumedown", 0);
  store_.SetReportTime("downstart", (int64_t{1} << 32) + 5);  // low 32 bits
  store_.SetReportNumber("retrytips", -1);                    // unsigned pattern
  store_.SetReportValue("selectlang", u"简体中文");
  store_.SetReportValue("selectlang", u"zh-CN");  // a later value replaces
  store_.SetTaskCount(10086, 2);
  store_.SetTaskDownloadTimes(10086, 100, 160);
  store_.SetTaskDownloadFailure(10086, 3);
  store_.SetTaskInstallTimes(10086, 170, 200);
  store_.SetTaskCount(9876, 1);
  store_.AddCdnAddress("127.0.0.3");
  store_.AddCdnAddress("127.0.0.2");
  store_.AddCdnAddress("127.0.0.2");
  store_.AddRemark("filemd5_10086", "abc", true);
  store_.AddRemark("filemd5_10086", "abc", true);
  store_.AddRemark("matchmd5_10086", "1", false);
  store_.AddInstallerMessage(
      u"{\"type\":\"setup\",\"event\":\"copy\",\"time\":\"12\",\"data\":\"ok\"}");
  store_.SetTrackId("visitor-7");
  store_.SetScreenSize(1920, 1080);
  store_.SetFirstInstall(false);
  store_.SetStartTime(1000);

  const Members expected = {
      {"product_id", "10086"},
      {"nuvver", "204"},
      {"nuvversion", "1.0.0.1"},
      {"nuvnamepid", "100862"},
      {"client_sign", "{0F1E-G}"},
      {"downcode", "7"},
      {"downstart", "5"},
      {"downstatus", "2"},
      {"installcode", "5"},
      {"installstatus", "2"},
      {"product_id", "10086"},
      {"resumedown", "0"},
      {"retrytips", "4294967295"},
      {"selectlang", "zh-CN"},
      {"winver", "6.1.0"},
      {"winbits", "64"},
      {"iever", "-"},
      {"nuvstart", "1000"},
      {"nuvend", "2000"},
      {"downstate", "1007"},
      {"installstate", "2002"},
      {"cdniplist", "127.0.0.2,127.0.0.3"},
      {"cdnurllist", "-"},
      {"bindtasks", "9876,1;10086,2"},
      {"binddownfail", "9876,0;10086,3"},
      {"bindinstallfail", "9876,0;10086,0"},
      {"binddowntime", "9876:0,0;10086:100,160"},
      {"bindinstalltime", "9876:0,0;10086:170,200"},
      {"crash", "0"},
      {"crashcode", "-"},
      {"crashattr", "-"},
      {"crashoffset", "-"},
      {"crashfilename", "-"},
      {"crashsection", "-"},
      {"timezone", "8"},
      {"syslcid", "2052"},
      {"srceensize", "1920*1080"},
      {"nuvclose", "2000"},
      {"remark1", "{\"filemd5_10086\":\"abc\"},{\"matchmd5_10086\":1}"},
      {"remark2", "{:\"setup\":\"copy,12,ok\"}"},
      {"remark3", ""},
      {"nuvtrackid", "visitor-7"},
      {"is_first_install", "#0"},
  };
  EXPECT_EQ(ParseMembers(BuildTrackDocument(store_.Snapshot(), FixedEnvironment())), expected);
}

TEST_F(TrackReportTest, CrashRecordFillsTheCrashMembersAndClosetype) {
  store_.SetReportNumber("downstatus", 1);
  store_.RecordCrash(0x000B0001, 0x7f00001234, 0x234, "/opt/x/setup", ".text");
  const std::string doc = BuildTrackDocument(store_.Snapshot(), FixedEnvironment());
  EXPECT_EQ(MemberValue(doc, "closetype"), "5");
  EXPECT_EQ(MemberValue(doc, "crash"), "1");
  EXPECT_EQ(MemberValue(doc, "crashcode"), "720897");
  EXPECT_EQ(MemberValue(doc, "crashattr"), "0x7F00001234");  // the whole pointer
  EXPECT_EQ(MemberValue(doc, "crashoffset"), "564");
  EXPECT_EQ(MemberValue(doc, "crashfilename"), "/opt/x/setup");
  EXPECT_EQ(MemberValue(doc, "crashsection"), ".text");
  EXPECT_EQ(MemberValue(doc, "downstate"), "1016");  // running when it crashed
  EXPECT_EQ(CrashAddressText(0x1234), "0x00001234");
}

TEST(TrackStateCodes, DownAndInstallStates) {
  struct Case {
    std::map<std::string, std::string> values;
    bool crashed;
    const char* down;
    const char* install;
  };
  const Case cases[] = {
      {{{"downstatus", "0"}}, false, "1017", "2005"},
      {{{"downstatus", "1"}}, false, "1015", "2005"},
      {{{"downstatus", "1"}}, true, "1016", "2005"},
      {{{"downstatus", "2"}, {"downcode", "7"}}, false, "1007", "2005"},
      {{{"downstatus", "2"}, {"downcode", "13"}}, false, "1013", "2005"},
      {{{"downstatus", "2"}}, false, "1099", "2005"},  // no code
      {{{"downstatus", "3"}, {"installstatus", "3"}}, false, "1000", "2000"},
      {{{"downstatus", "9"}, {"installstatus", "1"}}, false, "1099", "2004"},
      {{{"downstatus", "x"}}, false, "1099", "2005"},
      {{}, false, "1099", "2005"},
      {{{"downstatus", "2"}, {"downcode", "7"}, {"resumedown", "2"}}, false, "1000", "2005"},
      {{{"downstatus", "0"}, {"resumedown", "2"}}, false, "1000", "2005"},
      {{{"installstatus", "2"}, {"installcode", "5"}}, false, "1099", "2002"},
      {{{"installstatus", "2"}, {"installcode", "1"}}, false, "1099", "2001"},
      {{{"installstatus", "2"}, {"installcode", "4294967295"}}, false, "1099", "2003"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DownStateText(cases[i].values, cases[i].crashed), cases[i].down);
    EXPECT_EQ(InstallStateText(cases[i].values), cases[i].install);
  }
}

TEST(TrackStateCodes, TimezoneIsWholeHoursEastAsUnsigned) {
  EXPECT_EQ(TimezoneText(-5 * 3600), "4294967291");
  EXPECT_EQ(TimezoneText(8 * 3600), "8");
  EXPECT_EQ(TimezoneText(0), "0");
  EXPECT_EQ(TimezoneText(5 * 3600 + 45 * 60), "6");  // rounded, not cut
  EXPECT_EQ(TimezoneText(-(9 * 3600 + 30 * 60)), "4294967286");
}

TEST(TrackStateCodes, RemarksStopOnceLongerThan2000) {
  EXPECT_EQ(JoinRemarks({}), "");
  const std::string big(1999, 'a');
  EXPECT_EQ(JoinRemarks({big, "bb", "cc"}), big + ",bb");
  EXPECT_EQ(JoinRemarks({"x", "y"}), "x,y");
}

TEST_F(TrackReportTest, InstallerMessagesWithoutOrderedMarkersAreIgnored) {
  const std::u16string good =
      u"{\"type\":\"setup\",\"event\":\"copy\",\"time\":\"12\",\"data\":\"ok\"}";
  const std::u16string rejected[] = {
      u"",
      u"plain text from anyone",
      u"{\"type\":\"setup\",\"event\":\"copy\",\"data\":\"ok\"}",     // no time
      u"{\"t\",\"event\":\"copy\",\"time\":\"12\",\"data\":\"ok\"}",  // event too early
      u"{\"type\":\"setup\",\"data\":\"ok\",\"time\":\"12\",\"event\":\"copy\"}",  // out of order
      u"{\"type\":\"setup\",\"event\",\"time\":\"1\"}",                            // no data
      good + std::u16string(257 - good.size(), u' '),                              // too long
  };
  for (const std::u16string& text : rejected) store_.AddInstallerMessage(text);
  EXPECT_TRUE(store_.Snapshot().remarks2.empty());

  // Exactly 256 units is still taken; the list keeps at most 100.
  store_.AddInstallerMessage(good + std::u16string(256 - good.size(), u' '));
  for (int i = 0; i < 120; ++i) store_.AddInstallerMessage(good);
  const TrackSnapshot s = store_.Snapshot();
  ASSERT_EQ(s.remarks2.size(), 100u);
  EXPECT_EQ(s.remarks2[0], "{:\"setup\":\"copy,12,ok\"}" + std::string(256 - good.size(), ' '));
  EXPECT_EQ(s.remarks2[1], "{:\"setup\":\"copy,12,ok\"}");
}

TEST_F(TrackReportTest, SettersFromManyThreadsWhileDocumentsAreBuilt) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([this, t] {
      for (int i = 0; i < kRounds; ++i) {
        const int id = t * kRounds + i;
        store_.SetReportNumber("k" + std::to_string(id), id);
        store_.AddRemark("r" + std::to_string(id), "1", false);
        store_.SetTaskCount(id, i);
        store_.AddCdnAddress("10.0." + std::to_string(t) + "." + std::to_string(i));
        store_.AddInstallerMessage(
            u"{\"type\":\"setup\",\"event\":\"copy\",\"time\":\"12\",\"data\":\"ok\"}");
      }
    });
  }
  for (int i = 0; i < 20; ++i) {
    EXPECT_FALSE(BuildTrackDocument(store_.Snapshot(), FixedEnvironment()).empty());
  }
  for (std::thread& w : writers) w.join();
  const TrackSnapshot s = store_.Snapshot();
  EXPECT_EQ(s.values.size(), size_t{kThreads * kRounds});
  EXPECT_EQ(s.remarks1.size(), size_t{kThreads * kRounds});
  EXPECT_EQ(s.tasks.size(), size_t{kThreads * kRounds});
  EXPECT_EQ(s.cdnAddresses.size(), size_t{kThreads * kRounds});
  EXPECT_EQ(s.remarks2.size(), 100u);
}

class TrackReportSendTest : public TrackReportTest {
 protected:
  void SetUp() override {
    server_.AddSide(platform_);
    ASSERT_TRUE(server_.Start());
    store_.SetPlatformBaseUrl(server_.BaseUrl() + "/");
    store_.SetReportValue("product_id", std::string("10086"));
    store_.SetReportValue("client_sign", std::string("{0F1E-G}"));
    store_.SetDownloadStarted(true);
  }

  testbed::Server server_;
  std::shared_ptr<testbed::PlatformSide> platform_ = std::make_shared<testbed::PlatformSide>();
  TempDir temp_;
};

TEST_F(TrackReportSendTest, DocumentIsPostedAndCopiedOnce) {
  const TrackEnvironment env = FixedEnvironment(temp_.Path());
  const std::vector<std::string> docs = store_.SendTrackReport(env);
  ASSERT_EQ(docs.size(), 1u);
  ASSERT_TRUE(platform_->WaitForTrackReports(1, 10s));
  const testbed::TrackReportRecord got = platform_->TrackReports().at(0);
  EXPECT_EQ(got.body, docs[0]);
  EXPECT_EQ(got.rawQuery, "client_sign={0F1E-G}");
  EXPECT_EQ(got.contentType, "application/json");
  EXPECT_EQ(got.httpVersion, "HTTP/1.0");
  const std::string copy = temp_.File("NUV_10086_T20261211120000.json");
  EXPECT_EQ(ReadWholeFile(copy), docs[0]);

  // A copy of that name already there stays as it is; the post still goes out.
  WriteWholeFile(copy, "older");
  store_.SendTrackReport(env);
  ASSERT_TRUE(platform_->WaitForTrackReports(2, 10s));
  EXPECT_EQ(ReadWholeFile(copy), "older");
}

TEST_F(TrackReportSendTest, NothingGoesOutBeforeTheDownloadStartedOrWithoutClientSign) {
  const TrackEnvironment env = FixedEnvironment(temp_.Path());
  store_.SetDownloadStarted(false);
  EXPECT_TRUE(store_.SendTrackReport(env).empty());
  store_.SetDownloadStarted(true);
  store_.SetReportValue("client_sign", std::string());
  EXPECT_TRUE(store_.SendTrackReport(env).empty());
  EXPECT_TRUE(platform_->TrackReports().empty());
  EXPECT_TRUE(std::filesystem::is_empty(temp_.Path()));
}

TEST_F(TrackReportSendTest, MultiTaskModeSendsOneDocumentPerTask) {
  store_.SetMultiTaskMode(true);
  store_.SetTaskCount(10819, 1);
  store_.SetTaskReportValue(10819, "startupproduct", "10819");
  store_.SetTaskReportValue(10819, "downstatus", "3");
  store_.SetTaskCount(20001, 1);
  store_.SetTaskReportValue(20001, "startupproduct", "20001");
  store_.SetTaskReportValue(20001, "downstatus", "2");
  store_.SetTaskReportValue(20001, "downcode", "11");
  TrackEnvironment env = FixedEnvironment(temp_.Path());

  const std::vector<std::string> docs = store_.SendTrackReport(env);
  ASSERT_EQ(docs.size(), 2u);
  ASSERT_TRUE(platform_->WaitForTrackReports(2, 10s));
  const auto reports = platform_->TrackReports();
  EXPECT_EQ(reports[0].body, docs[0]);
  EXPECT_EQ(reports[1].body, docs[1]);
  EXPECT_EQ(MemberValue(docs[0], "product_id"), "10819");
  EXPECT_EQ(MemberValue(docs[0], "startupproduct"), "10819");
  EXPECT_EQ(MemberValue(docs[0], "downstate"), "1000");
  EXPECT_EQ(MemberValue(docs[1], "product_id"), "20001");
  EXPECT_EQ(MemberValue(docs[1], "downstate"), "1011");
  for (const std::string& doc : docs) {
    for (const char* name :
         {"bindtasks", "binddownfail", "bindinstallfail", "binddowntime", "bindinstalltime"}) {
      EXPECT_EQ(MemberValue(doc, name), "") << name;
    }
  }
  EXPECT_TRUE(std::filesystem::exists(temp_.File("NUV_10819_T20261211120000.json")));
  EXPECT_TRUE(std::filesystem::exists(temp_.File("NUV_20001_T20261211120000.json")));
}

}  // namespace
