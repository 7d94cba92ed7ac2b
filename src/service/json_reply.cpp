#include "service/json_reply.h"

#include <cerrno>
#include <cstdlib>

namespace {

constexpr size_t kMaxLoggedReply = 4096;

}  // namespace

JsonPtr ParseJson(const std::string& text) {
  return JsonPtr(cJSON_ParseWithLength(text.data(), text.size()));
}

int CodeOf(const cJSON* root) {
  const cJSON* code = MemberOf(root, "code");
  return cJSON_IsNumber(code) ? code->valueint : -1;
}

const cJSON* MemberOf(const cJSON* object, const char* name) {
  if (!cJSON_IsObject(object)) return nullptr;
  return cJSON_GetObjectItemCaseSensitive(object, name);
}

std::string StringMemberOf(const cJSON* object, const char* name) {
  const cJSON* item = MemberOf(object, name);
  return cJSON_IsString(item) && item->valuestring ? item->valuestring : "";
}

std::string PrintCompact(const cJSON* item) {
  if (!item) return {};
  char* text = cJSON_PrintUnformatted(item);
  if (!text) return {};
  std::string out(text);
  cJSON_free(text);
  return out;
}

double DecimalNumber(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || errno != 0 || end == text.c_str()) return 0;
  return static_cast<double>(value);
}

std::string ReplyForLog(const std::string& reply) {
  if (reply.size() <= kMaxLoggedReply) return reply;
  return reply.substr(0, kMaxLoggedReply) + "...";
}

cJSON* UploadDataArray(const std::vector<std::string>& uploadReplies) {
  cJSON* array = cJSON_CreateArray();
  for (const std::string& reply : uploadReplies) {
    JsonPtr root = ParseJson(reply);
    const cJSON* data = MemberOf(root.get(), "data");
    cJSON_AddItemToArray(array, data ? cJSON_Duplicate(data, true) : cJSON_CreateNull());
  }
  return array;
}
