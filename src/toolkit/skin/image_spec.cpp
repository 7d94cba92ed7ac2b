#include "toolkit/skin/image_spec.h"

#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

std::optional<ImageSpec> ParseImageSpec(std::u16string_view text) {
  ImageSpec spec;
  if (text.find(u'=') == std::u16string_view::npos) {
    // A bare file name.
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    spec.file = std::u16string(text);
    return spec;
  }
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == u' ') ++pos;
    if (pos >= text.size()) break;
    const size_t equals = text.find(u'=', pos);
    if (equals == std::u16string_view::npos) return std::nullopt;
    std::u16string_view key = text.substr(pos, equals - pos);
    while (!key.empty() && key.back() == u' ') key.remove_suffix(1);
    size_t valueStart = equals + 1;
    while (valueStart < text.size() && text[valueStart] == u' ') ++valueStart;
    if (valueStart >= text.size() || (text[valueStart] != u'\'' && text[valueStart] != u'"'))
      return std::nullopt;
    const char16_t quote = text[valueStart];
    const size_t valueEnd = text.find(quote, valueStart + 1);
    if (valueEnd == std::u16string_view::npos) return std::nullopt;
    const std::u16string_view value = text.substr(valueStart + 1, valueEnd - valueStart - 1);
    pos = valueEnd + 1;

    if (EqualsNoCase(key, u"file")) {
      spec.file = std::u16string(value);
    } else if (EqualsNoCase(key, u"res")) {
      std::optional<int> id = ParseInt(value);
      if (!id || *id <= 0) return std::nullopt;
      spec.resourceId = *id;
    } else if (EqualsNoCase(key, u"restype")) {
      spec.resourceType = std::u16string(value);
    } else if (EqualsNoCase(key, u"corner")) {
      std::optional<Edges> corner = ParseEdges(value);
      if (!corner) return std::nullopt;
      spec.corner = *corner;
    } else if (EqualsNoCase(key, u"dest")) {
      std::optional<Rect> dest = ParseRect(value);
      if (!dest) return std::nullopt;
      spec.dest = *dest;
    } else if (EqualsNoCase(key, u"source")) {
      std::optional<Rect> source = ParseRect(value);
      if (!source) return std::nullopt;
      spec.source = *source;
    } else if (EqualsNoCase(key, u"fade")) {
      std::optional<int> fade = ParseInt(value);
      if (!fade || *fade < 0 || *fade > 255) return std::nullopt;
      spec.fade = *fade;
    }
    // Other keys of the notation (mask, hole, tiling) are not used by our skins: ignored.
  }
  if (spec.file.empty() && spec.resourceId == 0) return std::nullopt;
  return spec;
}

}  // namespace SkinUI
