#include "http/curl_request.h"

#include <curl/curl.h>

#include "http/transfer_rules.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

constexpr long kConnectTimeoutSec = 5;
constexpr long kRequestTimeoutSec = 5;
constexpr long kUploadTimeoutSec = 10;

size_t AppendBlock(char* data, size_t size, size_t count, void* userData) {
  static_cast<std::string*>(userData)->append(data, size * count);
  return size * count;
}

curl_slist* BuildList(const std::vector<std::string>& lines) {
  curl_slist* list = nullptr;
  for (const std::string& line : lines) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (!grown) break;
    list = grown;
  }
  return list;
}

void SetCommonOptions(CURL* curl, const std::string& url, curl_slist* headers, std::string* body,
                      long timeoutSec) {
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  ApplyTransferRules(curl, url);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBlock);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, body);
  curl_easy_setopt(curl, CURLOPT_IPRESOLVE, static_cast<long>(CURL_IPRESOLVE_V4));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSec);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSec);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
}

// Performs the transfer and reads the status; the log lines differ only in their prefix.
void PerformAndCheck(CURL* curl, const char* what, int& resultCode) {
  CURLcode rc = curl_easy_perform(curl);
  if (rc != CURLE_OK) {
    NUV_LOG(1, "[ERROR] %s, curl easy perform failed, code=[%d].", what, static_cast<int>(rc));
    resultCode = static_cast<int>(rc);
    return;
  }
  long status = 0;
  rc = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (rc != CURLE_OK)
    NUV_LOG(1, "[ERROR] %s, curl easy getinfo failed, code=[%d].", what, static_cast<int>(rc));
  resultCode = static_cast<int>(rc);
}

}  // namespace

std::string RemoveCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

std::string CurlRequest(RequestKind kind, const std::u16string& url, const HeaderList& headers,
                        bool http10, bool captureHeaders, const std::string& body, int& resultCode,
                        const std::vector<std::string>& resolve) {
  CURL* curl = curl_easy_init();
  if (!curl) {
    NUV_LOG(1, "[ERROR] curl request, curl init failed!");
    return {};
  }
  curl_slist* headerList = BuildList(headers);
  curl_slist* resolveList = BuildList(resolve);
  if (resolveList) curl_easy_setopt(curl, CURLOPT_RESOLVE, resolveList);
  std::string url8 = WideToUtf8(url);

  std::string headerText;
  std::string reply;
  if (http10)
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  if (captureHeaders) {
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, AppendBlock);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headerText);
  }
  if (kind == kRequestHead) {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else if (kind == kRequestPost) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  }
  SetCommonOptions(curl, url8, headerList, &reply, kRequestTimeoutSec);
  PerformAndCheck(curl, "curl request", resultCode);

  curl_easy_cleanup(curl);
  curl_slist_free_all(headerList);
  curl_slist_free_all(resolveList);
  return headerText + RemoveCrLf(reply);
}

std::string CurlFormDataRequest(const std::string& url, const HeaderList& headers,
                                const std::string& filePath, int& resultCode) {
  CURL* curl = curl_easy_init();
  if (!curl) {
    NUV_LOG(1, "[ERROR] curl form data request, curl init failed!");
    return {};
  }
  curl_slist* headerList = BuildList(headers);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));

  // The file is read by libcurl at send time; its base name becomes the part's file name.
  curl_mime* form = curl_mime_init(curl);
  curl_mimepart* part = curl_mime_addpart(form);
  curl_mime_name(part, "file");
  curl_mime_filedata(part, filePath.c_str());
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);

  std::string reply;
  SetCommonOptions(curl, url, headerList, &reply, kUploadTimeoutSec);
  PerformAndCheck(curl, "curl form data request", resultCode);

  curl_easy_cleanup(curl);
  curl_mime_free(form);
  curl_slist_free_all(headerList);
  return RemoveCrLf(reply);
}
