// The once-per-run post that tells the service which product this machine is about to install.
#pragma once

#include <string>

// {"product_id":<id>, "client_sign":"<sign>"} to the product-series endpoint, with a token of
// version "1.1.1". True when the service answered "code" 0.
bool PostInstallInfo(const std::string& productId, const std::string& clientSign);

// The body as sent. The id goes in as a bare number when it is one; anything else is sent as a
// JSON string, and the sign is escaped, so the body is always valid JSON.
std::string InstallInfoBody(const std::string& productId, const std::string& clientSign);
