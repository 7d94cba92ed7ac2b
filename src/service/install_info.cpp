#include "service/install_info.h"

#include "service/client_token.h"
#include "http/api_request.h"
#include "service/json_reply.h"
#include "log/simple_log.h"

namespace {

constexpr const char* kSeriesPath = "/v1/product/series";
constexpr const char* kInstallInfoVersion = "1.1.1";

bool IsDecimal(const std::string& text) {
  // JSON numbers have no leading zeros.
  if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0')) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string JsonString(const std::string& text) {
  JsonPtr item(cJSON_CreateString(text.c_str()));
  return PrintCompact(item.get());
}

}  // namespace

std::string InstallInfoBody(const std::string& productId, const std::string& clientSign) {
  const std::string id = IsDecimal(productId) ? productId : JsonString(productId);
  return "{\"product_id\":" + id + ", \"client_sign\":" + JsonString(clientSign) + "}";
}

bool PostInstallInfo(const std::string& productId, const std::string& clientSign) {
  const std::string token = RequestClientToken(productId, clientSign, kInstallInfoVersion);
  const HeaderList headers = {"Content-Type: application/json", BearerHeader(token)};
  const std::string reply =
      ApiRequest(kSeriesPath, headers, InstallInfoBody(productId, clientSign), false);
  if (ReplyCode(reply) != 0) {
    NUV_LOG(1, "[ERROR] post info failed! result=[%s].", ReplyForLog(reply).c_str());
    return false;
  }
  NUV_LOG(3, "[INFO] post info ok.");
  return true;
}
