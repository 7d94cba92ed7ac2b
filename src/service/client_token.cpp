#include "service/client_token.h"

#include <cstdio>

#include "platform/version_text.h"
#include "http/api_request.h"
#include "service/json_reply.h"
#include "log/simple_log.h"

std::string TokenRequestBody() {
  return std::string("{\"grant_type\":\"client_credentials\",\"app_secret\":\"") + kAppSecret +
         "\"}";
}

std::string TokenFromReply(const std::string& reply) {
  JsonPtr root = ParseJson(reply);
  if (CodeOf(root.get()) != 0) return {};
  return StringMemberOf(MemberOf(root.get(), "data"), "access_token");
}

std::string RequestClientToken(const std::string& productId, const std::string& clientSign,
                               const std::string& productVersion) {
  const HeaderList headers = {
      "X-Client-Type: 1",
      "Content-Type: application/json",
      std::string("X-App-Key: ") + kAppKey,
      "X-Client-Sn: " + clientSign,
      "X-Prod-Id: " + productId,
      "X-Prod-Ver: " + productVersion,
  };
  const std::string reply = ApiRequest(kTokenPath, headers, TokenRequestBody(), false);
  JsonPtr root = ParseJson(reply);
  if (CodeOf(root.get()) != 0) {
    NUV_LOG(1, "[ERROR] get token failed! result=[%s].", ReplyForLog(reply).c_str());
    return {};
  }
  return StringMemberOf(MemberOf(root.get(), "data"), "access_token");
}

std::string BearerHeader(const std::string& token) {
  return "Authorization: Bearer " + token;
}

std::string OwnVersionText(int parts) {
  const std::array<int, 4> v = platform::ParseVersion(platform::GetOwnFileVersion());
  char text[64];
  if (parts == 3)
    std::snprintf(text, sizeof text, "%d.%d.%d", v[0], v[1], v[2]);
  else
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
  return text;
}
