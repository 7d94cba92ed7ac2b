#include "testbed/fetch.h"

#include <strings.h>

namespace {

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* ctx = static_cast<std::pair<FetchResult*, const FetchOptions*>*>(user);
  ctx->first->body.append(data, size * count);
  if (ctx->second->received) *ctx->second->received += static_cast<long long>(size * count);
  return size * count;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  static_cast<FetchResult*>(user)->headers.append(data, size * count);
  return size * count;
}

}  // namespace

std::string FetchResult::Header(const std::string& name) const {
  std::string found;
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find("\r\n", start);
    if (end == std::string::npos) end = headers.size();
    std::string line = headers.substr(start, end - start);
    size_t colon = line.find(':');
    if (colon != std::string::npos &&
        strcasecmp(line.substr(0, colon).c_str(), name.c_str()) == 0) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      found = v == std::string::npos ? "" : line.substr(v);
    }
    start = end + 2;
  }
  return found;
}

FetchResult Fetch(const std::string& url, const FetchOptions& options) {
  FetchResult result;
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.code = CURLE_FAILED_INIT;
    return result;
  }
  std::pair<FetchResult*, const FetchOptions*> ctx{&result, &options};
  curl_slist* list = nullptr;
  for (const auto& h : options.headers) list = curl_slist_append(list, h.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &ctx);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, options.timeoutSeconds);
  if (options.head) curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  if (!options.range.empty()) curl_easy_setopt(curl, CURLOPT_RANGE, options.range.c_str());
  if (!options.post.empty()) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, options.post.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(options.post.size()));
  }
  if (!options.caBundle.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options.caBundle.c_str());
  if (options.follow) curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  result.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  char* effective = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    result.effectiveUrl = effective;
  }
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return result;
}
