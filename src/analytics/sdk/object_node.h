// Analytics property values and their compact JSON form.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace analytics_sdk {
namespace utils {

class ObjectNode;

// Seconds since 1970 plus milliseconds; written as local time.
struct DateTime {
  int64_t seconds = 0;
  int milliseconds = 0;
};

struct ValueNode {
  enum Kind { kNumber, kInteger, kString, kList, kDateTime, kBool, kObject };
  Kind kind = kInteger;
  double number = 0;
  int64_t integer = 0;
  std::string text;  // UTF-8 bytes
  std::vector<std::string> list;
  DateTime dateTime;
  bool flag = false;
  std::shared_ptr<const ObjectNode> object;  // never changed once set, so copies may share it

  void AppendJson(std::string& out) const;
};

// Named values; members are kept (and written) in ascending byte order of their names.
class ObjectNode {
 public:
  void SetNumber(const std::string& name, double value);
  void SetInteger(const std::string& name, int64_t value);
  // Checks the value (length and UTF-8, messages on the error stream); false and nothing set when
  // it fails.
  bool SetString(const std::string& name, const std::string& value);
  void SetBool(const std::string& name, bool value);
  void SetDateTime(const std::string& name, DateTime value);
  void SetList(const std::string& name, std::vector<std::string> values);
  void SetObject(const std::string& name, const ObjectNode& value);
  // Copies every member of other over this one (other's value wins on equal names).
  void Merge(const ObjectNode& other);

  const ValueNode* Find(const std::string& name) const;
  void Remove(const std::string& name);
  const std::map<std::string, ValueNode>& Members() const { return members_; }
  bool Empty() const { return members_.empty(); }

  std::string ToJson() const;
  void AppendJson(std::string& out) const;

 private:
  std::map<std::string, ValueNode> members_;
};

// The string form of a JSON string: only \b \t \n \f \r \" \\ are escaped, other bytes as they are.
void AppendJsonString(const std::string& text, std::string& out);

}  // namespace utils

// A property set handed to the tracker.
class PropertiesNode : public utils::ObjectNode {
 public:
  virtual ~PropertiesNode() = default;
};

}  // namespace analytics_sdk
