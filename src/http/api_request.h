// Service API calls with host switching: the primary API host first, and once more against the
// fallback host when the reply does not carry "code" 0. Every call starts with the primary.
#pragma once

#include <string>

#include "http/curl_request.h"

// POSTs the JSON body (HTTP/1.0) to primary host + path. `warnOnSwitch` false is the quiet form
// used by the client-token and post-info requests: it does not log the host switch.
std::string ApiRequest(const std::string& path, const HeaderList& headers, const std::string& json,
                       bool warnOnSwitch = true);

// Uploads the file as the multipart part "file" to primary host + path, with the same switching.
// The reporters build the headers and call this.
std::string ApiFormUploadRequest(const std::string& path, const std::string& filePath,
                                 const HeaderList& headers);

// The integer member "code" of a JSON reply; -1 when the reply is not JSON, has no "code", or it
// is not a number.
int ReplyCode(const std::string& reply);
