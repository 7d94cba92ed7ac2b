#include "analytics/sdk/object_node.h"

#include <cstdio>
#include <ctime>
#include <sstream>

#include "analytics/sdk/validation.h"

namespace analytics_sdk::utils {

void AppendJsonString(const std::string& text, std::string& out) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  out += '"';
}

void ValueNode::AppendJson(std::string& out) const {
  switch (kind) {
    case kNumber: {
      std::ostringstream s;
      s << number;
      out += s.str();
      break;
    }
    case kInteger:
      out += std::to_string(integer);
      break;
    case kString:
      AppendJsonString(text, out);
      break;
    case kList:
      out += '[';
      for (size_t i = 0; i < list.size(); ++i) {
        if (i) out += ',';
        AppendJsonString(list[i], out);
      }
      out += ']';
      break;
    case kDateTime: {
      std::tm local{};
      const time_t t = static_cast<time_t>(dateTime.seconds);
      localtime_r(&t, &local);
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "\"%04d-%02d-%02d %02d:%02d:%02d.%03d\"",
                    local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec, dateTime.milliseconds);
      out += buffer;
      break;
    }
    case kBool:
      out += flag ? "true" : "false";
      break;
    case kObject:
      if (object)
        object->AppendJson(out);
      else
        out += "{}";
      break;
  }
}

void ObjectNode::SetNumber(const std::string& name, double value) {
  ValueNode v;
  v.kind = ValueNode::kNumber;
  v.number = value;
  members_[name] = std::move(v);
}

void ObjectNode::SetInteger(const std::string& name, int64_t value) {
  ValueNode v;
  v.kind = ValueNode::kInteger;
  v.integer = value;
  members_[name] = std::move(v);
}

bool ObjectNode::SetString(const std::string& name, const std::string& value) {
  if (!CheckStringValue(name, value)) return false;
  ValueNode v;
  v.kind = ValueNode::kString;
  v.text = value;
  members_[name] = std::move(v);
  return true;
}

void ObjectNode::SetBool(const std::string& name, bool value) {
  ValueNode v;
  v.kind = ValueNode::kBool;
  v.flag = value;
  members_[name] = std::move(v);
}

void ObjectNode::SetDateTime(const std::string& name, DateTime value) {
  ValueNode v;
  v.kind = ValueNode::kDateTime;
  v.dateTime = value;
  members_[name] = std::move(v);
}

void ObjectNode::SetList(const std::string& name, std::vector<std::string> values) {
  ValueNode v;
  v.kind = ValueNode::kList;
  v.list = std::move(values);
  members_[name] = std::move(v);
}

void ObjectNode::SetObject(const std::string& name, const ObjectNode& value) {
  ValueNode v;
  v.kind = ValueNode::kObject;
  v.object = std::make_shared<const ObjectNode>(value);
  members_[name] = std::move(v);
}

void ObjectNode::Merge(const ObjectNode& other) {
  for (const auto& [name, value] : other.members_) members_[name] = value;
}

const ValueNode* ObjectNode::Find(const std::string& name) const {
  auto it = members_.find(name);
  return it == members_.end() ? nullptr : &it->second;
}

void ObjectNode::Remove(const std::string& name) {
  members_.erase(name);
}

std::string ObjectNode::ToJson() const {
  std::string out;
  AppendJson(out);
  return out;
}

void ObjectNode::AppendJson(std::string& out) const {
  out += '{';
  bool first = true;
  for (const auto& [name, value] : members_) {
    if (!first) out += ',';
    first = false;
    out += '"';
    out += name;  // names are checked variable names, written unescaped
    out += "\":";
    value.AppendJson(out);
  }
  out += '}';
}

}  // namespace analytics_sdk::utils
