#include "toolkit/skin/xml_attributes.h"

#include "xml/xml_document.h"
#include "xml/xml_text.h"

namespace SkinUI {

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

std::vector<XmlAttribute> CurrentElementAttributes(const XmlDocument& doc) {
  std::vector<XmlAttribute> out;
  const uint32_t current = doc.CurrentPosition();
  if (!current) return out;
  const ElementRecord& record = doc.Record(current);
  const std::u16string& text = doc.DocumentText();
  const size_t end = std::min<size_t>(text.size(), record.start + doc.StartTagLength(current));
  size_t p = record.start + 1;
  while (p < end && IsBlank(text[p])) ++p;
  while (p < end && !IsBlank(text[p]) && text[p] != u'/' && text[p] != u'>') ++p;  // tag name
  for (;;) {
    while (p < end && IsBlank(text[p])) ++p;
    if (p >= end || text[p] == u'/' || text[p] == u'>') break;
    const size_t nameStart = p;
    while (p < end && !IsBlank(text[p]) && text[p] != u'=' && text[p] != u'/' && text[p] != u'>')
      ++p;
    const std::u16string name = text.substr(nameStart, p - nameStart);
    while (p < end && IsBlank(text[p])) ++p;
    if (p >= end || text[p] != u'=') {
      if (p == nameStart) ++p;  // a stray character: step over it
      continue;
    }
    ++p;
    while (p < end && IsBlank(text[p])) ++p;
    if (p >= end || (text[p] != u'"' && text[p] != u'\'')) continue;
    const char16_t quote = text[p++];
    const size_t valueStart = p;
    while (p < end && text[p] != quote) ++p;
    if (p >= end) break;  // unterminated value
    out.emplace_back(name,
                     DecodeEntities(std::u16string_view(text).substr(valueStart, p - valueStart)));
    ++p;
  }
  return out;
}

}  // namespace SkinUI
