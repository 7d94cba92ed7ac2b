#include "toolkit/skin/attribute_values.h"

#include <cstdint>
#include <vector>

namespace SkinUI {

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::optional<uint32_t> ParseHex(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char16_t c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(d);
  }
  return value;
}

// Comma-separated integers; exactly `count` of them.
std::optional<std::vector<int>> ParseInts(std::u16string_view text, size_t count) {
  std::vector<int> values;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(u',', start);
    const std::u16string_view part = text.substr(
        start, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - start);
    std::optional<int> value = ParseInt(part);
    if (!value) return std::nullopt;
    values.push_back(*value);
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  if (values.size() != count) return std::nullopt;
  return values;
}

}  // namespace

std::optional<Color> ParseColor(std::u16string_view text) {
  text = Trim(text);
  std::u16string_view digits;
  if (text.size() > 1 && text[0] == u'#') {
    digits = text.substr(1);
  } else if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    digits = text.substr(2);
  } else {
    return std::nullopt;
  }
  if (digits.size() != 6 && digits.size() != 8) return std::nullopt;
  std::optional<uint32_t> value = ParseHex(digits);
  if (!value) return std::nullopt;
  return digits.size() == 6 ? (*value | 0xFF000000u) : *value;
}

std::optional<int> ParseInt(std::u16string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  bool negative = false;
  if (text[0] == u'-' || text[0] == u'+') {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

std::optional<Rect> ParseRect(std::u16string_view text) {
  std::optional<std::vector<int>> v = ParseInts(text, 4);
  if (!v) return std::nullopt;
  return Rect{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
}

std::optional<Edges> ParseEdges(std::u16string_view text) {
  std::optional<std::vector<int>> v = ParseInts(text, 4);
  if (!v) return std::nullopt;
  for (int side : *v)
    if (side < 0) return std::nullopt;
  return Edges{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
}

std::optional<Point> ParsePoint(std::u16string_view text) {
  std::optional<std::vector<int>> v = ParseInts(text, 2);
  if (!v) return std::nullopt;
  return Point{(*v)[0], (*v)[1]};
}

std::optional<Size> ParseSize(std::u16string_view text) {
  std::optional<std::vector<int>> v = ParseInts(text, 2);
  if (!v || (*v)[0] < 0 || (*v)[1] < 0) return std::nullopt;
  return Size{(*v)[0], (*v)[1]};
}

std::optional<bool> ParseBool(std::u16string_view text) {
  text = Trim(text);
  if (EqualsNoCase(text, u"true") || text == u"1") return true;
  if (EqualsNoCase(text, u"false") || text == u"0") return false;
  return std::nullopt;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace SkinUI
