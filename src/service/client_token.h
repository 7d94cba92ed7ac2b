// Client authentication against the service API: the client-credentials token request and the
// identification values every caller sends.
#pragma once

#include <string>

inline constexpr const char* kAppKey = "c3a1f0e7b295d4806e1f2a9c.mock";
inline constexpr const char* kAppSecret = "Wq7RzN2kLmV5sT8yHd3GxJ6bFc9PuE4aKn";
inline constexpr const char* kTokenPath = "/v3/user/client/token";
// The reporters' own product number.
inline constexpr const char* kReporterProductId = "14424";

// {"grant_type":"client_credentials","app_secret":"..."}
std::string TokenRequestBody();

// The token at "data" -> "access_token" of a token reply with "code" 0; empty otherwise.
std::string TokenFromReply(const std::string& reply);

// POSTs the token request (primary API host, then the fallback when the reply's "code" is not 0)
// and returns the token; empty, with the reply logged, when it failed. Nothing is cached.
std::string RequestClientToken(const std::string& productId, const std::string& clientSign,
                               const std::string& productVersion);

// "Authorization: Bearer <token>", also for an empty token (the service then refuses).
std::string BearerHeader(const std::string& token);

// The program's own file version as "%d.%d.%d.%d" (missing parts 0).
std::string OwnVersionText(int parts = 4);
