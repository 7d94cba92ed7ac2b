// Small cJSON helpers shared by the service calls: owning parse, the "code" rule, safe member
// reads and a bounded copy of a reply for the log.
#pragma once

#include <cjson/cJSON.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// Null when the text is not JSON.
JsonPtr ParseJson(const std::string& text);

// The integer "code" of a reply object; -1 when there is none or it is not a number (the same rule
// the host switching applies).
int CodeOf(const cJSON* root);

// The member of an object, or null when `object` is no object or lacks it.
const cJSON* MemberOf(const cJSON* object, const char* name);
// A string member's text; empty when missing or of another type.
std::string StringMemberOf(const cJSON* object, const char* name);

// Compact text of the item (an empty text for null).
std::string PrintCompact(const cJSON* item);

// A decimal text as a JSON number value; a text that is not a number counts as 0.
double DecimalNumber(const std::string& text);

// The reply as it goes into a log line: a service that answers megabytes must not flood the log.
std::string ReplyForLog(const std::string& reply);

// The "data" members of the stored upload replies, in upload order, as a new JSON array (a reply
// without "data" contributes null, so positions still match the uploads).
cJSON* UploadDataArray(const std::vector<std::string>& uploadReplies);
