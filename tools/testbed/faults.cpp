#include "testbed/faults.h"

#include <charconv>
#include <vector>

namespace testbed {
namespace {

bool ReadNumber(const std::string& text, int64_t& out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(sep, start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

bool Faults::Empty() const {
  return !stallAfter && !dropAfter && !status && !ignoreRange && !announcedSize && !corruptFrom &&
         !throttle && !redirect && !size && !rangeCap && !delayMs;
}

void Faults::MergeFrom(const Faults& other) {
  if (other.stallAfter) stallAfter = other.stallAfter;
  if (other.dropAfter) dropAfter = other.dropAfter;
  if (other.status) status = other.status;
  if (other.ignoreRange) ignoreRange = true;
  if (other.announcedSize) announcedSize = other.announcedSize;
  if (other.corruptFrom) corruptFrom = other.corruptFrom;
  if (other.throttle) throttle = other.throttle;
  if (other.redirect) redirect = other.redirect;
  if (other.size) size = other.size;
  if (other.rangeCap) rangeCap = other.rangeCap;
  if (other.delayMs) delayMs = other.delayMs;
}

std::string Faults::ToText() const {
  std::string out;
  auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ",") + item; };
  if (stallAfter) add("stall_after:" + std::to_string(*stallAfter));
  if (dropAfter) add("drop_after:" + std::to_string(*dropAfter));
  if (status) add("status:" + std::to_string(*status));
  if (ignoreRange) add("ignore_range");
  if (announcedSize) add("wrong_length:" + std::to_string(*announcedSize));
  if (corruptFrom) add("corrupt_from:" + std::to_string(*corruptFrom));
  if (throttle) add("throttle:" + std::to_string(*throttle));
  if (redirect) add(redirect->empty() ? "redirect" : "redirect:" + *redirect);
  if (size) add("size:" + std::to_string(*size));
  if (rangeCap) add("range_cap:" + std::to_string(*rangeCap));
  if (delayMs) add("delay:" + std::to_string(*delayMs));
  return out;
}

std::optional<Faults> ParseFaults(const std::string& text) {
  Faults faults;
  if (text.empty()) return faults;
  for (const std::string& item : Split(text, ',')) {
    size_t colon = item.find(':');
    std::string name = item.substr(0, colon);
    std::string value = colon == std::string::npos ? "" : item.substr(colon + 1);
    bool hasValue = colon != std::string::npos;
    int64_t n = 0;
    if (name == "ignore_range" && !hasValue) {
      faults.ignoreRange = true;
    } else if (name == "redirect") {
      faults.redirect = value;
    } else if (!ReadNumber(value, n)) {
      return std::nullopt;
    } else if (name == "stall_after") {
      faults.stallAfter = n;
    } else if (name == "drop_after") {
      faults.dropAfter = n;
    } else if (name == "status" && n >= 100 && n <= 599) {
      faults.status = static_cast<int>(n);
    } else if (name == "wrong_length") {
      faults.announcedSize = n;
    } else if (name == "corrupt_from") {
      faults.corruptFrom = n;
    } else if (name == "throttle" && n > 0) {
      faults.throttle = n;
    } else if (name == "size") {
      faults.size = n;
    } else if (name == "range_cap" && n > 0) {
      faults.rangeCap = n;
    } else if (name == "delay") {
      faults.delayMs = n;
    } else {
      return std::nullopt;
    }
  }
  return faults;
}

}  // namespace testbed
