// Cursor movement and reading of the current element.
#include "xml/xml_chars.h"
#include "xml/xml_document.h"
#include "xml/xml_scanner.h"
#include "xml/xml_text.h"

void XmlDocument::UpdateNodeType() {
  nodeType_ = current_ ? 1 : 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
}

void XmlDocument::Rewind() {
  parent_ = current_ = child_ = 0;
  UpdateNodeType();
}

void XmlDocument::RewindChild() {
  child_ = 0;
  UpdateNodeType();
}

bool XmlDocument::NameMatchesAt(uint32_t index, std::u16string_view name) const {
  const char16_t* text = text_.data();
  return NameMatches(ElementNameAt(text + records_[index].start, text + text_.size()), name,
                     docFlags_ & kFlagIgnoreCase);
}

bool XmlDocument::NextElement(std::u16string_view name) {
  if (records_.Empty()) return false;
  uint32_t candidate = current_ ? records_[current_].next : records_[parent_].firstChild;
  for (; candidate; candidate = records_[candidate].next) {
    if (name.empty() || NameMatchesAt(candidate, name)) {
      current_ = candidate;
      child_ = 0;
      UpdateNodeType();
      return true;
    }
  }
  return false;
}

bool XmlDocument::NextChild(std::u16string_view name) {
  if (!current_ && !NextElement()) return false;
  uint32_t candidate = child_ ? records_[child_].next : records_[current_].firstChild;
  for (; candidate; candidate = records_[candidate].next) {
    if (name.empty() || NameMatchesAt(candidate, name)) {
      child_ = candidate;
      UpdateNodeType();
      return true;
    }
  }
  return false;
}

bool XmlDocument::Descend() {
  if (!current_) return false;
  parent_ = current_;
  current_ = child_;
  child_ = 0;
  UpdateNodeType();
  return true;
}

bool XmlDocument::Ascend() {
  if (!parent_) return false;
  child_ = current_;
  current_ = parent_;
  parent_ = records_[parent_].parent;
  UpdateNodeType();
  return true;
}

std::u16string XmlDocument::ElementText() const {
  std::u16string out;
  if (!current_) return out;
  const ElementRecord& r = records_[current_];
  const uint32_t startTag = records_.StartTagLength(current_);
  if (r.firstChild || startTag >= r.length) return out;
  const uint32_t from = r.start + startTag;
  const uint32_t to = r.start + r.length - records_.EndTagLength(current_);
  if (to <= from) return out;
  const char16_t* text = text_.data();
  if (FindXmlChar(text + from, text + to, '<') == text + to) {
    AppendDecodedEntities(text + from, to - from, out);
    return out;
  }
  // Mixed content: text nodes decoded, CDATA taken raw, everything else dropped.
  XmlNode node;
  for (uint32_t pos = from; pos < to;) {
    pos = ScanXmlNode(text, to, pos, node);
    if (node.kind == XmlNodeKind::kText) {
      AppendDecodedEntities(text + node.start, node.length, out);
    } else if (node.kind == XmlNodeKind::kCData && node.length >= 12) {
      out.append(text + node.start + 9, node.length - 12);
    }
  }
  return out;
}

std::u16string XmlDocument::ElementName() const {
  if (!current_) return {};
  const char16_t* text = text_.data();
  return std::u16string(ElementNameAt(text + records_[current_].start, text + text_.size()));
}

namespace {

enum class TokenKind { kName, kQuoted, kValue, kEquals, kEnd };

// One token of a start tag, whitespace before it skipped.
TokenKind NextTagToken(const char16_t*& p, const char16_t* end, bool afterEquals,
                       std::u16string_view& token) {
  while (p < end && IsXmlSpace(*p)) ++p;
  if (p >= end) return TokenKind::kEnd;
  const char16_t c = *p;
  const char16_t* q = p;
  if (c == '"' || c == '\'') {
    const char16_t* close = FindXmlChar(p + 1, end, c);
    token = std::u16string_view(p + 1, static_cast<size_t>(close - p - 1));
    p = close < end ? close + 1 : end;
    return TokenKind::kQuoted;
  }
  if (afterEquals) {
    while (q < end && !IsXmlSpace(*q) && *q != '>') ++q;
    if (q == p) return TokenKind::kEnd;
    token = std::u16string_view(p, static_cast<size_t>(q - p));
    p = q;
    return TokenKind::kValue;
  }
  while (q < end && !IsXmlSpace(*q) && *q != '=' && *q != '>' && *q != '/' && *q != '?') ++q;
  if (q == p) ++q;
  token = std::u16string_view(p, static_cast<size_t>(q - p));
  p = q;
  if (c == '=') return TokenKind::kEquals;
  if (c == '>' || c == '/' || c == '?') return TokenKind::kEnd;
  return TokenKind::kName;
}

}  // namespace

std::u16string XmlDocument::AttributeValue(std::u16string_view name) const {
  if (!current_ || name.empty()) return {};
  const ElementRecord& r = records_[current_];
  const char16_t* p = text_.data() + r.start + 1;
  const char16_t* end = text_.data() + r.start + records_.StartTagLength(current_);
  const bool ignoreCase = docFlags_ & kFlagIgnoreCase;
  std::u16string_view token;
  NextTagToken(p, end, false, token);  // the tag name
  bool afterEquals = false;
  bool matched = false;
  std::u16string_view matchedName;
  for (;;) {
    const TokenKind kind = NextTagToken(p, end, afterEquals, token);
    if (kind == TokenKind::kEnd) {
      if (matched && afterEquals) return {};  // "name=" with nothing after it
      break;
    }
    if (kind == TokenKind::kEquals) {
      afterEquals = true;
      continue;
    }
    if (matched) {
      if (afterEquals) return DecodeEntities(token);
      break;  // a name without a value stands for itself
    }
    if (kind == TokenKind::kName && !afterEquals &&
        NameMatches(LeadingName(token), name, ignoreCase)) {
      matched = true;
      matchedName = token;
    }
    afterEquals = false;
  }
  return matched ? DecodeEntities(matchedName) : std::u16string();
}

bool XmlDocument::ChildText(std::u16string_view name, std::u16string& out) {
  RewindChild();
  if (!NextChild(name)) return false;
  Descend();
  out = ElementText();
  Ascend();
  return true;
}
