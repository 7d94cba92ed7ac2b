#include "analytics/sdk/record_sender.h"

#include <curl/curl.h>

#include <cstdlib>

namespace analytics_sdk {

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* headers = static_cast<std::map<std::string, std::string>*>(user);
  const std::string line(data, size * count);
  const size_t colon = line.find(':');
  if (colon == std::string::npos) {
    const std::string name = Trim(line);
    if (!name.empty()) (*headers)[name] = "present";
  } else {
    (*headers)[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
  }
  return size * count;
}

}  // namespace

SenderReply RecordSender::Post(const std::string& url, const std::string& body,
                               const std::string& cookie) const {
  SenderReply reply;
  CURL* handle = curl_easy_init();
  if (!handle) {
    reply.body = "Couldn't initialize curl handle";
    return reply;
  }
  curl_slist* headerList = nullptr;
  if (!cookie.empty()) headerList = curl_slist_append(headerList, ("Cookie: " + cookie).c_str());

  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &reply.headers);
  if (headerList) curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
  // Certificates are checked like on every other request of the program.
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* ca = std::getenv("NUV_CA_BUNDLE"); ca && *ca)
    curl_easy_setopt(handle, CURLOPT_CAINFO, ca);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, kTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));

  const CURLcode rc = curl_easy_perform(handle);
  if (rc != CURLE_OK) {
    reply.status = -1;
    reply.body = curl_easy_strerror(rc);
  } else {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    reply.status = static_cast<int>(status);
  }
  curl_slist_free_all(headerList);
  curl_easy_cleanup(handle);
  return reply;
}

}  // namespace analytics_sdk
