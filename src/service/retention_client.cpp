#include "service/retention_client.h"

#include <cmath>

#include "http/api_base.h"
#include "log/simple_log.h"
#include "service/client_token.h"
#include "service/json_reply.h"
#include "xml/utf.h"

namespace {

constexpr const char* kRecoveryPath = "/v1/product/downloader/recovery";
constexpr const char* kDefaultProductVersion = "4.0.5.0";

std::string PrimaryUrl(const std::string& path) {
  return GetApiHosts().primary + path;
}

// Ids are whole numbers; anything else (fraction, out of range) leaves the field as it was.
bool ReadWholeNumber(const cJSON* object, const char* name, int64_t& out) {
  const cJSON* item = MemberOf(object, name);
  if (!cJSON_IsNumber(item)) return false;
  const double value = item->valuedouble;
  if (!std::isfinite(value) || value != std::floor(value) || value < -9.2e18 || value > 9.2e18)
    return false;
  out = static_cast<int64_t>(value);
  return true;
}

}  // namespace

void RetentionClient::AddClientHeaders(HeaderList& headers) {
  if (productVersion_.empty()) productVersion_ = kDefaultProductVersion;
  headers.push_back("X-Client-Sn: " + clientSign_);
  headers.push_back("X-Client-Type: 1");
  headers.push_back("X-App-Key: " + appKey_);
  headers.push_back("X-Prod-Id: " + std::to_string(productId_));
  headers.push_back("X-Lang: " + langTag_);
  headers.push_back("X-Prod-Ver: " + productVersion_);
  NUV_LOG(3, "[INFO] x-lang=[%s]", langTag_.c_str());
}

std::string RetentionClient::FetchToken() {
  HeaderList headers = {"Content-Type: application/json"};
  AddClientHeaders(headers);
  int result = 0;
  const std::string reply = CurlRequest(kRequestPost, Utf8ToWide(PrimaryUrl(kTokenPath)), headers,
                                        true, false, TokenRequestBody(), result);
  JsonPtr root = ParseJson(reply);
  if (CodeOf(root.get()) != 0) return {};
  const cJSON* data = MemberOf(root.get(), "data");
  if (!data || cJSON_IsNull(data)) return {};
  return StringMemberOf(data, "access_token");
}

bool RetentionClient::QueryRetentionStrategy(int productId, const std::string& productVersion,
                                             const std::string& clientSign,
                                             const std::string& queryVersion) {
  productId_ = productId;
  productVersion_ = productVersion;
  clientSign_ = clientSign;
  queryVersion_ = queryVersion;

  const std::string url = PrimaryUrl(std::string(kRecoveryPath) + "?version=" + queryVersion_);
  HeaderList headers = {BearerHeader(FetchToken())};
  AddClientHeaders(headers);
  NUV_LOG(3, "[INFO] query redeem request = %s", url.c_str());
  int result = 0;
  const std::string reply =
      CurlRequest(kRequestGet, Utf8ToWide(url), headers, true, false, {}, result);
  NUV_LOG(3, "[INFO] query redeem response = %s", ReplyForLog(reply).c_str());
  return ReadStrategyReply(reply);
}

bool RetentionClient::ReadStrategyReply(const std::string& reply) {
  JsonPtr root = ParseJson(reply);
  const int code = CodeOf(root.get());
  const cJSON* data = MemberOf(root.get(), "data");
  // A "data" that is no object carries no strategy, like null.
  if (code != 0 || !cJSON_IsObject(data)) {
    NUV_LOG(1, "[ERROR] query retention strategy failed! err=[%d].", code);
    return false;
  }
  ReadWholeNumber(data, "id", strategyId_);
  int64_t type = 0;
  if (ReadWholeNumber(data, "type", type) && type >= INT32_MIN && type <= INT32_MAX)
    strategyType_ = static_cast<int>(type);
  const cJSON* tips = MemberOf(data, "tips");
  if (cJSON_IsObject(tips)) {
    const cJSON* title = MemberOf(tips, "title");
    const cJSON* content = MemberOf(tips, "content");
    if (cJSON_IsString(title)) tipsTitle_ = title->valuestring;
    if (cJSON_IsString(content)) tipsContent_ = content->valuestring;
  }
  return true;
}

int RetentionClient::ApplyAuthorization(const std::string& email) {
  const std::string url =
      PrimaryUrl(std::string(kRecoveryPath) + "/" + std::to_string(strategyId_) + "/apply");
  HeaderList headers = {BearerHeader(FetchToken()), "Content-Type: application/json"};
  AddClientHeaders(headers);
  JsonPtr body(cJSON_CreateObject());
  cJSON_AddStringToObject(body.get(), "email", email.c_str());
  int result = 0;
  const std::string reply = CurlRequest(kRequestPost, Utf8ToWide(url), headers, true, false,
                                        PrintCompact(body.get()), result);
  JsonPtr root = ParseJson(reply);
  const int code = CodeOf(root.get());
  if (code != 0) {
    NUV_LOG(1, "[ERROR] apply auth failed! err=[%d][%s].", code,
            StringMemberOf(root.get(), "msg").c_str());
  } else {
    NUV_LOG(3, "[INFO] apply auth success.");
  }
  return code;
}
