// Renders a document's element index as text so tests can compare whole structures.
#pragma once

#include <string>

#include "xml/utf.h"
#include "xml/xml_document.h"

// "name@start+length(startTag/endTag)[children]" for every element, siblings joined by ' '.
// Also checks the sibling links: each element's prev must point back, the first child's prev
// at the last child.
inline std::string DumpChildren(const XmlDocument& doc, uint32_t parent) {
  std::string out;
  uint32_t first = doc.Record(parent).firstChild;
  uint32_t prev = 0;
  for (uint32_t i = first; i; i = doc.Record(i).next) {
    const ElementRecord& r = doc.Record(i);
    if (!out.empty()) out += ' ';
    if (r.parent != parent) out += "!parent";
    if (prev && r.prev != prev) out += "!prev";
    std::u16string_view text = doc.DocumentText();
    size_t nameEnd = text.find_first_of(u" \t\r\n/>", r.start + 1);
    out += WideToUtf8(text.substr(r.start + 1, nameEnd - r.start - 1));
    out += '@' + std::to_string(r.start) + '+' + std::to_string(r.length) + '(' +
           std::to_string(doc.StartTagLength(i)) + '/' + std::to_string(doc.EndTagLength(i)) + ')';
    if (r.levelFlags & ElementRecord::kFlagNotEnded) out += '!';
    if (r.firstChild) out += '[' + DumpChildren(doc, i) + ']';
    prev = i;
  }
  if (first && doc.Record(first).prev != prev) out += " !last";
  return out;
}

inline std::string DumpStructure(const XmlDocument& doc) {
  return DumpChildren(doc, 0);
}
