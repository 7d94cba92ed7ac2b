// Inserting new elements into the text while keeping the records consistent.
#include "xml/xml_chars.h"
#include "xml/xml_document.h"
#include "xml/xml_scanner.h"
#include "xml/xml_text.h"

void XmlDocument::ReplaceText(uint32_t from, uint32_t to, std::u16string_view with) {
  text_.replace(from, to - from, with);
  const int64_t delta = static_cast<int64_t>(with.size()) - static_cast<int64_t>(to - from);
  const uint32_t count = records_.NextFree();
  for (uint32_t i = 1; i < count; ++i) {
    ElementRecord& r = records_[i];
    if (r.start >= to) {
      r.start = static_cast<uint32_t>(r.start + delta);
    } else if (r.start < from && r.start + r.length > to) {
      r.length = static_cast<uint32_t>(r.length + delta);
    }
  }
  records_[0].length = static_cast<uint32_t>(text_.size());
}

bool XmlDocument::AddElement(std::u16string_view name, std::u16string_view text) {
  if (records_.Empty()) Parse();
  std::u16string markup = u"<";
  markup.append(name);
  uint32_t startTag, endTag;
  if (text.empty()) {
    markup.append(u"/>");
    startTag = static_cast<uint32_t>(markup.size());
    endTag = 0;
  } else {
    markup.push_back('>');
    startTag = static_cast<uint32_t>(markup.size());
    markup.append(EncodeEntities(text));
    markup.append(u"</");
    markup.append(name);
    markup.push_back('>');
    endTag = static_cast<uint32_t>(name.size() + 3);
  }
  const uint32_t length = static_cast<uint32_t>(markup.size());
  markup.append(u"\r\n");

  const uint32_t parent = parent_;
  uint32_t newStart;
  if (current_) {
    const ElementRecord& c = records_[current_];
    uint32_t at = c.start + c.length;
    uint32_t ws = at;
    while (ws < text_.size() && IsXmlSpace(text_[ws])) ++ws;
    if (ws >= text_.size() || text_[ws] == '<') at = ws;
    ReplaceText(at, at, markup);
    newStart = at;
  } else if (parent) {
    const ElementRecord& p = records_[parent];
    const uint32_t pStart = p.start;
    const uint32_t pStartTag = records_.StartTagLength(parent);
    const uint32_t pEndTag = records_.EndTagLength(parent);
    const bool emptyTag = p.length == pStartTag && !(p.levelFlags & ElementRecord::kFlagNotEnded) &&
                          pStartTag >= 3 && text_[pStart + pStartTag - 2] == '/';
    if (emptyTag) {
      // <p .../> becomes <p ...>CR LF markup</p>.
      std::u16string name16(
          text_.data() + pStart + 1,
          ScanTagNameLength(text_.data(), static_cast<uint32_t>(text_.size()), pStart + 1));
      std::u16string with = u">\r\n" + markup + u"</" + name16 + u">";
      const uint32_t from = pStart + pStartTag - 2;
      ReplaceText(from, pStart + pStartTag, with);
      ElementRecord& pr = records_[parent];
      pr.length = pStartTag - 2 + static_cast<uint32_t>(with.size());
      records_.SetTagLengths(parent, pStartTag - 1, static_cast<uint32_t>(name16.size() + 3));
      newStart = from + 3;
    } else {
      const uint32_t endTagAt = pStart + p.length - pEndTag;
      if (endTagAt == pStart + pStartTag) {
        ReplaceText(endTagAt, endTagAt, u"\r\n" + markup);
        newStart = endTagAt + 2;
      } else {
        ReplaceText(endTagAt, endTagAt, markup);
        newStart = endTagAt;
      }
    }
  } else {
    newStart = static_cast<uint32_t>(text_.size());
    ReplaceText(newStart, newStart, markup);
  }

  const uint32_t index = records_.Allocate();
  ElementRecord& r = records_[index];
  r.start = newStart;
  r.length = length;
  r.levelFlags = parent ? (records_[parent].levelFlags & ElementRecord::kLevelMask) + 1 : 0;
  records_.SetTagLengths(index, startTag, endTag);
  if (current_) {
    LinkAfter(current_, index);
  } else {
    LinkLastChild(parent, index);
  }
  current_ = index;
  child_ = 0;
  UpdateNodeType();
  return true;
}
