#include "analytics/sdk/validation.h"

#include <cstdio>

#include "analytics/sdk/object_node.h"

namespace analytics_sdk {

namespace {

bool IsLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

void WriteError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool CheckDistinctId(const std::string& id) {
  const std::string name = "Distinct ID";
  if (id.empty()) {
    WriteError("The " + name + " is empty.\n");
    return false;
  }
  if (id.size() > kMaxDistinctIdBytes) {
    WriteError("The " + name + " is too long, max length is 255.\n");
    return false;
  }
  return true;
}

bool CheckName(const std::string& name, const char* what) {
  if (name.empty() || name.size() > kMaxNameBytes) {
    WriteError(std::string("The ") + what + " is empty or too long, max length is 100\n");
    return false;
  }
  bool valid = IsLetter(name[0]) || name[0] == '$' || name[0] == '_';
  for (size_t i = 1; valid && i < name.size(); ++i) {
    const unsigned char c = name[i];
    valid = IsLetter(c) || (c >= '0' && c <= '9') || c == '$' || c == '_';
  }
  if (!valid) WriteError(std::string("The ") + what + " need to be a valid variable name.");
  return valid;
}

bool IsAcceptedUtf8(const std::string& value) {
  const size_t n = value.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = value[i];
    if (c < 0x80) {
      if (!(c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0x7E))) return false;
      ++i;
      continue;
    }
    size_t length;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else {
      return false;  // continuation byte as lead, overlong lead C0/C1, or F5..FF
    }
    if (n - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char d = value[i + k];
      if (!IsContinuation(d)) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000)) return false;  // overlong
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    if (cp > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

bool CheckStringValue(const std::string& name, const std::string& value) {
  if (value.size() > kMaxStringBytes) {
    WriteError("String property '" + name + "' is too long, value: " + value + "\n");
    return false;
  }
  if (!IsAcceptedUtf8(value)) {
    WriteError("String property '" + name + "' is not valid UTF-8 string, value: " + value + "\n");
    return false;
  }
  return true;
}

bool CheckProperties(const utils::ObjectNode& properties) {
  for (const auto& [name, value] : properties.Members()) {
    if (!CheckName(name, "Property Key")) return false;
    if (name == "$time" && value.kind != utils::ValueNode::kDateTime) {
      WriteError("The property '$time' should be DateTime type.\n");
      return false;
    }
    if (name == "$project" && value.kind != utils::ValueNode::kString) {
      WriteError("The property '$project' should be String type.\n");
      return false;
    }
  }
  return true;
}

}  // namespace analytics_sdk
