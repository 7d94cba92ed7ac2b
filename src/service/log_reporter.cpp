#include "service/log_reporter.h"

#include "service/client_token.h"
#include "http/api_request.h"
#include "service/json_reply.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

constexpr const char* kUploadPath = "/v1/product/downloader/upload-log-file";
constexpr const char* kWhiteListPath = "/v1/product/logs/whitelist";
constexpr const char* kReportPath = "/v1/product/logs/report";
constexpr int kLogReportType = 2;

}  // namespace

bool CLogReporter::UploadFile(const std::u16string& path) {
  const std::string reply = ApiFormUpload(kUploadPath, WideToUtf8(path), true);
  JsonPtr root = ParseJson(reply);
  if (CodeOf(root.get()) != 0) {
    NUV_LOG(1, "[ERROR] upload log, result=[%s]", ReplyForLog(reply).c_str());
    return false;
  }
  uploadReplies_.push_back(reply);
  return true;
}

bool CLogReporter::SubmitReport(const std::vector<std::u16string>& paths,
                                const std::string& /*kind*/) {
  if (paths.empty()) return false;

  JsonPtr white(cJSON_CreateObject());
  cJSON_AddStringToObject(white.get(), "client_sign", clientSign_.c_str());
  cJSON_AddNumberToObject(white.get(), "pid", DecimalNumber(productId_));
  cJSON_AddStringToObject(white.get(), "version", OwnVersionText().c_str());
  const int whiteCode =
      ReplyCode(ApiRequest(kWhiteListPath, JsonHeaders(), PrintCompact(white.get())));
  if (whiteCode != 0) NUV_LOG(1, "[ERROR] add white list failed! code=[%d].", whiteCode);

  JsonPtr report(cJSON_CreateObject());
  cJSON_AddStringToObject(report.get(), "client_sign", clientSign_.c_str());
  cJSON_AddNumberToObject(report.get(), "pid", DecimalNumber(productId_));
  cJSON_AddStringToObject(report.get(), "version", OwnVersionText().c_str());
  cJSON_AddNumberToObject(report.get(), "type", kLogReportType);
  if (!remark_.empty()) cJSON_AddStringToObject(report.get(), "remark", remark_.c_str());
  cJSON_AddItemToObject(report.get(), "files", UploadDataArray(uploadReplies_));

  const std::string reply = ApiRequest(kReportPath, JsonHeaders(), PrintCompact(report.get()));
  if (ReplyCode(reply) != 0) {
    NUV_LOG(1, "[ERROR] log_reports failed! result=[%s]", ReplyForLog(reply).c_str());
    return false;
  }
  return true;
}

bool AutoReportErrorLog(const ErrorReportContext& context, bool includeInstallerLog,
                        const std::string& remark) {
  NUV_LOG(3, "[INFO] auto report error log, remark=[%s].", remark.c_str());
  CLogReporter reporter;
  if (!context.productId.empty()) reporter.SetTicketProductId(context.productId);
  if (!context.productVersion.empty()) reporter.SetProductVersion(context.productVersion);
  reporter.SetRemark(remark);
  const std::u16string extra = includeInstallerLog ? context.installerLogPath : std::u16string();
  const bool result = reporter.SendReport(extra);
  NUV_LOG(3, "[INFO] auto report error log, result=[%d].", result ? 1 : 0);
  return result;
}
