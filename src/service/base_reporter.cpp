#include "service/base_reporter.h"

#include "http/api_request.h"
#include "log/log_folder.h"
#include "log/simple_log.h"
#include "platform/os/file_trust.h"
#include "platform/registry.h"
#include "service/client_token.h"
#include "service/json_reply.h"
#include "xml/utf.h"

CBaseReporter::CBaseReporter()
    : productId_(kReporterProductId),
      clientSign_(WideToUtf8(platform::GetOrCreateClientSign(u"Veltrin"))),
      ticketProductId_(productId_),
      productVersion_(OwnVersionText()) {}

std::vector<std::string> CBaseReporter::CandidateFiles(const std::u16string& extraLogPath) {
  std::vector<std::string> files = {DefaultLogFilePath()};
  if (extraLogPath.empty()) return files;
  const std::string extra = WideToUtf8(extraLogPath);
  files.push_back(extra);
  // The last four characters are cut whatever they are (".log" in practice).
  const std::u16string stem =
      extraLogPath.substr(0, extraLogPath.size() >= 4 ? extraLogPath.size() - 4 : 0);
  for (const char16_t* suffix : {u".SubPack1.log", u".SubPack2.log", u".SubPack3.log"})
    files.push_back(WideToUtf8(stem + suffix));
  return files;
}

bool CBaseReporter::SendReport(const std::u16string& extraLogPath) {
  token_ = RequestClientToken(productId_, clientSign_, OwnVersionText());
  prepared_ = Prepare();
  if (!prepared_ || token_.empty()) {
    NUV_LOG(1, "[ERROR] send file failed! not init.");
    return false;
  }
  std::vector<std::u16string> uploaded;
  for (const std::string& file : CandidateFiles(extraLogPath)) {
    // Only files the run made go out: a link, a FIFO or a file someone else put under one of
    // these names would send whatever it points at, or hang the upload.
    if (!nuv::os::IsOwnRegularFile(file)) continue;
    const std::u16string path = Utf8ToWide(file);
    if (UploadFile(path)) uploaded.push_back(path);
  }
  return SubmitReport(uploaded, "log");
}

std::string CBaseReporter::ApiFormUpload(const std::string& path, const std::string& filePath,
                                         bool clientHeaders) const {
  HeaderList headers = {BearerHeader(token_), "Content-Type: multipart/form-data"};
  if (clientHeaders) {
    headers.push_back(std::string("X-App-Key: ") + kAppKey);
    headers.push_back("X-Client-Type: 1");
    headers.push_back("X-Lang: en-us");
    headers.push_back("X-Client-Sn: " + clientSign_);
    headers.push_back("X-Prod-Id: " + productId_);
    headers.push_back("X-Prod-Ver: " + productVersion_);
  }
  return ApiFormUploadRequest(path, filePath, headers);
}

std::vector<std::string> CBaseReporter::JsonHeaders() const {
  return {BearerHeader(token_), "Content-Type: application/json"};
}
