// Short synchronous HTTP exchanges over libcurl: one easy handle per call, nothing shared.
#pragma once

#include <string>
#include <vector>

enum RequestKind {
  kRequestGet = 0,
  kRequestHead = 1,  // CURLOPT_NOBODY
  kRequestPost = 2,  // body sent as POST fields with its explicit length
};

// Complete header lines ("Content-Type: application/json"), sent in this order.
using HeaderList = std::vector<std::string>;

// Sends one request and returns the captured header text (when `captureHeaders`) followed by the
// body with every CR LF pair removed. `resultCode` becomes 0 on success or the libcurl code of
// the failing call; it is left as it was when no handle could be created. Any HTTP status counts
// as a reply. TLS peers are verified; NUV_CA_BUNDLE names an extra CA bundle file. `resolve`
// holds CURLOPT_RESOLVE entries ("host:port:address") that pin the host to an address.
std::string CurlRequest(RequestKind kind, const std::u16string& url, const HeaderList& headers,
                        bool http10, bool captureHeaders, const std::string& body, int& resultCode,
                        const std::vector<std::string>& resolve = {});

// Uploads the file at `filePath` as the multipart part "file" (its base name as the file name)
// with HTTP/1.0 and returns the body with every CR LF pair removed.
std::string CurlFormDataRequest(const std::string& url, const HeaderList& headers,
                                const std::string& filePath, int& resultCode);

// Removes every CR LF pair; lone CR or LF characters stay.
std::string RemoveCrLf(const std::string& text);
