#include "testbed/byte_range.h"

#include <cctype>
#include <charconv>

namespace testbed {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Digits only, no sign; -1 when empty, -2 when not a number.
int64_t ReadPos(const std::string& s) {
  if (s.empty()) return -1;
  int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < 0) return -2;
  return v;
}

}  // namespace

ByteRange ParseByteRange(const std::string& header, int64_t size) {
  ByteRange r;
  std::string value = Trim(header);
  if (value.empty()) return r;
  ByteRange bad;
  bad.kind = ByteRange::kUnsatisfiable;
  if (value.compare(0, 6, "bytes=") != 0) return bad;
  std::string rangeText = Trim(value.substr(6));
  if (rangeText.find(',') != std::string::npos) return r;
  size_t dash = rangeText.find('-');
  if (dash == std::string::npos) return bad;
  int64_t a = ReadPos(Trim(rangeText.substr(0, dash)));
  int64_t b = ReadPos(Trim(rangeText.substr(dash + 1)));
  if (a == -2 || b == -2 || (a == -1 && b == -1)) return bad;
  if (a == -1) {  // suffix: the last b bytes
    if (b == 0 || size == 0) return bad;
    r.kind = ByteRange::kPart;
    r.first = b >= size ? 0 : size - b;
    r.last = size - 1;
    return r;
  }
  if (a >= size || (b >= 0 && b < a)) return bad;
  r.kind = ByteRange::kPart;
  r.first = a;
  r.last = (b == -1 || b >= size) ? size - 1 : b;
  return r;
}

}  // namespace testbed
