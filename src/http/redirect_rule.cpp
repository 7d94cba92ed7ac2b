#include "http/redirect_rule.h"

#include <strings.h>

bool IsHttpsUrl(const std::string& url) {
  return url.size() >= 8 && strncasecmp(url.c_str(), "https://", 8) == 0;
}

void LimitRedirects(CURL* handle, const std::string& url) {
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, IsHttpsUrl(url) ? "https" : "http,https");
}
