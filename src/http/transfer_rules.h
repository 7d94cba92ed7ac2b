// What every transfer of ours insists on: a verified TLS peer (a private CA comes in through
// NUV_CA_BUNDLE, never by switching verification off) and redirects that never leave https.
#pragma once

#include <curl/curl.h>

#include <string>

// Verifies the peer and its name, takes NUV_CA_BUNDLE as the CA bundle when it is set, and limits
// redirects: from https only to https (bytes promised over a verified connection must not arrive
// over plain HTTP), from http to http or https. A redirect to any other scheme fails the transfer
// with CURLE_UNSUPPORTED_PROTOCOL.
void ApplyTransferRules(CURL* handle, const std::string& url);

// The URL's scheme is https (case-insensitive).
bool IsHttpsUrl(const std::string& url);
