#include "http/transfer_rules.h"

#include <strings.h>

#include <cstdlib>

bool IsHttpsUrl(const std::string& url) {
  return url.size() >= 8 && strncasecmp(url.c_str(), "https://", 8) == 0;
}

void ApplyTransferRules(CURL* handle, const std::string& url) {
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* ca = std::getenv("NUV_CA_BUNDLE"); ca && *ca)
    curl_easy_setopt(handle, CURLOPT_CAINFO, ca);
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, IsHttpsUrl(url) ? "https" : "http,https");
}
