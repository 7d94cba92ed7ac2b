#include "http/api_request.h"

#include <cjson/cJSON.h>

#include <functional>

#include "http/api_base.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

using Sender = std::function<std::string(const std::string& url)>;

std::string SendWithHostSwitch(const std::string& path, bool warnOnSwitch, const Sender& send) {
  ApiHosts hosts = GetApiHosts();
  std::string reply = send(hosts.primary + path);
  if (ReplyCode(reply) == 0) return reply;
  if (warnOnSwitch) NUV_LOG(2, "[WARN] switch host domain.");
  return send(hosts.fallback + path);
}

}  // namespace

int ReplyCode(const std::string& reply) {
  cJSON* root = cJSON_ParseWithLength(reply.data(), reply.size());
  if (!root) return -1;
  int code = -1;
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(root, "code");
  if (cJSON_IsNumber(item)) code = item->valueint;
  cJSON_Delete(root);
  return code;
}

std::string ApiRequest(const std::string& path, const HeaderList& headers, const std::string& json,
                       bool warnOnSwitch) {
  return SendWithHostSwitch(path, warnOnSwitch, [&](const std::string& url) {
    int code = 0;
    return CurlRequest(kRequestPost, Utf8ToWide(url), headers, true, false, json, code);
  });
}

std::string ApiFormUploadRequest(const std::string& path, const std::string& filePath,
                                 const HeaderList& headers) {
  return SendWithHostSwitch(path, true, [&](const std::string& url) {
    int code = 0;
    return CurlFormDataRequest(url, headers, filePath, code);
  });
}
