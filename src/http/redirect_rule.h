// Which redirects a transfer may follow: from https only to https (bytes promised over a verified
// connection must not arrive over plain HTTP), from http to http or https.
#pragma once

#include <curl/curl.h>

#include <string>

// Sets the handle's allowed redirect schemes for a transfer of url; a redirect to any other scheme
// then fails the transfer with CURLE_UNSUPPORTED_PROTOCOL.
void LimitRedirects(CURL* handle, const std::string& url);

// The URL's scheme is https (case-insensitive).
bool IsHttpsUrl(const std::string& url);
