#include "service/log_reporter.h"

#include <sys/stat.h>
#include <unistd.h>

#include "service_env.h"
#include "support/other_user.h"

namespace {

class LogReporterTest : public ServiceTest {
 protected:
  std::string InstallerLog() const { return dir_.Path() + "inst/Setup Log.log"; }
  ErrorReportContext Context() const { return {"10819", "2.5.1", Utf8ToWide(InstallerLog())}; }
};

TEST_F(LogReporterTest, UploadsTheExistingLogsAndReportsThemInOrder) {
  WriteFile(OwnLogPath(), "own log\n");
  WriteFile(InstallerLog(), "installer log\n");
  WriteFile(dir_.Path() + "inst/Setup Log.SubPack2.log", "sub pack 2\n");  // 1 and 3 missing
  const std::string sign = ReporterSign();

  EXPECT_TRUE(AutoReportErrorLog(Context(), true, "install err=5"));

  auto token = Requests(ServiceApiSide::kTokenPath);
  ASSERT_EQ(token.size(), 1u);  // one token per send
  EXPECT_EQ(token[0].Header("X-Prod-Id"), "14424");
  EXPECT_EQ(token[0].Header("X-Prod-Ver"), "4.4.0.0");  // the program's own version

  auto uploads = Requests(ServiceApiSide::kLogUploadPath);
  ASSERT_EQ(uploads.size(), 3u);
  EXPECT_EQ(OwnHeaders(uploads[0]), (std::vector<std::string>{
                                        "Authorization: Bearer tb-token-1",
                                        "X-App-Key: c3a1f0e7b295d4806e1f2a9c.mock",
                                        "X-Client-Type: 1",
                                        "X-Lang: en-us",
                                        "X-Client-Sn: " + sign,
                                        "X-Prod-Id: 14424",
                                        "X-Prod-Ver: 2.5.1",
                                        "Content-Type: multipart/form-data",
                                    }));
  auto files = api_->Uploads();
  ASSERT_EQ(files.size(), 3u);
  const std::pair<std::string, std::string> expected[] = {
      {"vtNUV.log", "own log\n"},
      {"Setup Log.log", "installer log\n"},
      {"Setup Log.SubPack2.log", "sub pack 2\n"}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(files[i].fieldName, "file");
    EXPECT_EQ(files[i].fileName, expected[i].first);
    EXPECT_EQ(files[i].content, expected[i].second);
  }

  auto white = Requests(ServiceApiSide::kWhiteListPath);
  ASSERT_EQ(white.size(), 1u);
  EXPECT_EQ(white[0].body,
            "{\"client_sign\":\"" + sign + "\",\"pid\":14424,\"version\":\"4.4.0.0\"}");
  EXPECT_EQ(OwnHeaders(white[0]), (std::vector<std::string>{"Authorization: Bearer tb-token-1",
                                                            "Content-Type: application/json"}));

  auto report = Requests(ServiceApiSide::kLogReportPath);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(OwnHeaders(report[0]), OwnHeaders(white[0]));
  EXPECT_EQ(report[0].body,
            "{\"client_sign\":\"" + sign +
                "\",\"pid\":14424,\"version\":\"4.4.0.0\",\"type\":2,\"remark\":\"install err=5\","
                "\"files\":[{\"file_id\":\"f1\",\"name\":\"vtNUV.log\"},"
                "{\"file_id\":\"f2\",\"name\":\"Setup Log.log\"},"
                "{\"file_id\":\"f3\",\"name\":\"Setup Log.SubPack2.log\"}]}");
  EXPECT_TRUE(Logged("[INFO] auto report error log, remark=[install err=5]."));
  EXPECT_TRUE(Logged("[INFO] auto report error log, result=[1]."));
}

TEST_F(LogReporterTest, WithoutTheInstallerLogAndRemarkOnlyTheOwnLogIsReported) {
  WriteFile(OwnLogPath(), "own log\n");
  WriteFile(InstallerLog(), "installer log\n");
  EXPECT_TRUE(AutoReportErrorLog(Context(), false, ""));
  ASSERT_EQ(api_->Uploads().size(), 1u);
  auto report = Requests(ServiceApiSide::kLogReportPath);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report[0].body.find("remark"), std::string::npos);
}

TEST_F(LogReporterTest, WithoutATokenNothingIsUploaded) {
  WriteFile(OwnLogPath(), "own log\n");
  Code(ServiceApiSide::kTokenPath, 500);
  EXPECT_FALSE(AutoReportErrorLog(Context(), true, "x"));
  EXPECT_EQ(Requests(ServiceApiSide::kLogUploadPath).size(), 0u);
  EXPECT_TRUE(Logged("[ERROR] send file failed! not init."));
  EXPECT_TRUE(Logged("[INFO] auto report error log, result=[0]."));
}

TEST_F(LogReporterTest, FailedUploadsAreLeftOutAndNoneMeansNoReport) {
  WriteFile(OwnLogPath(), "own log\n");
  Code(ServiceApiSide::kLogUploadPath, 413);
  EXPECT_FALSE(AutoReportErrorLog(Context(), false, "x"));
  // Each upload went to the primary and once to the fallback.
  EXPECT_EQ(Requests(ServiceApiSide::kLogUploadPath, kPrimary).size(), 1u);
  EXPECT_EQ(Requests(ServiceApiSide::kLogUploadPath, kFallback).size(), 1u);
  EXPECT_TRUE(Logged("[ERROR] upload log, result=[{\"code\":413,\"msg\":\"set by test\"}]"));
  EXPECT_EQ(Requests(ServiceApiSide::kWhiteListPath).size(), 0u);
  EXPECT_EQ(Requests(ServiceApiSide::kLogReportPath).size(), 0u);
}

TEST_F(LogReporterTest, NoLogFilesMeansNoReport) {
  EXPECT_FALSE(AutoReportErrorLog(Context(), true, "x"));
  EXPECT_EQ(Requests(ServiceApiSide::kLogUploadPath).size(), 0u);
  EXPECT_EQ(Requests(ServiceApiSide::kLogReportPath).size(), 0u);
}

TEST_F(LogReporterTest, RefusedWhiteListStillReports) {
  WriteFile(OwnLogPath(), "own log\n");
  Code(ServiceApiSide::kWhiteListPath, 7);
  EXPECT_TRUE(AutoReportErrorLog(Context(), false, "x"));
  EXPECT_TRUE(Logged("[ERROR] add white list failed! code=[7]."));
  EXPECT_EQ(Requests(ServiceApiSide::kLogReportPath).size(), 1u);
}

TEST_F(LogReporterTest, RefusedReportFailsAfterTheFallback) {
  WriteFile(OwnLogPath(), "own log\n");
  Code(ServiceApiSide::kLogReportPath, 500, kPrimary);
  Answer(ServiceApiSide::kLogReportPath, "{\"code\":501}", kFallback);
  EXPECT_FALSE(AutoReportErrorLog(Context(), false, "x"));
  EXPECT_TRUE(Logged("[WARN] switch host domain."));
  EXPECT_TRUE(Logged("[ERROR] log_reports failed! result=[{\"code\":501}]"));
}

TEST_F(LogReporterTest, ReportFromTheFallbackHostCounts) {
  WriteFile(OwnLogPath(), "own log\n");
  Answer(ServiceApiSide::kLogReportPath, "not json", kPrimary);
  EXPECT_TRUE(AutoReportErrorLog(Context(), false, "x"));
  EXPECT_EQ(Requests(ServiceApiSide::kLogReportPath, kFallback).size(), 1u);
}

// Names another user could have prepared where the report looks for the installer's logs: only
// files the run made go out, so root's secrets (or a FIFO that would hang the upload) never do.
struct PlantedLog {
  const char* name;
  void (*plant)(const std::string& path, const std::string& secret);
};

const PlantedLog kPlantedLogs[] = {
    {"link to root's file", other_user::PlantLink},
    {"hard link to root's file", other_user::PlantHardLink},
    {"another user's file",
     [](const std::string& path, const std::string&) {
       WriteWholeFile(path, "planted\n");
       other_user::Give(path);
     }},
    {"FIFO", other_user::PlantFifo},
};

TEST_F(LogReporterTest, OnlyFilesTheRunMadeAreUploaded) {
  for (const PlantedLog& c : kPlantedLogs) {
    SCOPED_TRACE(c.name);
    const size_t before = api_->Uploads().size();
    const std::string secret = dir_.File(std::string("secret-") + c.name);
    WriteFile(secret, "root's secret\n");
    chmod(secret.c_str(), 0600);
    WriteFile(OwnLogPath(), "own log\n");
    std::filesystem::create_directories(dir_.Path() + "inst");
    std::filesystem::remove(InstallerLog());
    c.plant(InstallerLog(), secret);

    EXPECT_TRUE(AutoReportErrorLog(Context(), true, "install err=5"));
    const auto files = api_->Uploads();
    ASSERT_EQ(files.size(), before + 1);
    EXPECT_EQ(files.back().fileName, "vtNUV.log");
    EXPECT_EQ(files.back().content, "own log\n");
  }
}

TEST(ReporterCandidates, SiblingsReplaceTheLastFourCharacters) {
  const std::string own = CBaseReporter::CandidateFiles(u"").front();
  EXPECT_EQ(CBaseReporter::CandidateFiles(u""), std::vector<std::string>{own});
  EXPECT_EQ(CBaseReporter::CandidateFiles(u"/l/a.log"),
            (std::vector<std::string>{own, "/l/a.log", "/l/a.SubPack1.log", "/l/a.SubPack2.log",
                                      "/l/a.SubPack3.log"}));
  EXPECT_EQ(CBaseReporter::CandidateFiles(u"/l/a.txt1")[2], "/l/a..SubPack1.log");
  EXPECT_EQ(CBaseReporter::CandidateFiles(u"ab")[2], ".SubPack1.log");
}

}  // namespace
