#include "xml/xml_scanner.h"

#include "xml/xml_chars.h"

namespace {

inline bool IsNameStart(char16_t c) {
  return (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x61;
}

inline bool IsQuote(char16_t c) {
  return c == '"' || c == '\'';
}

// The '>' of a multi-character terminator ("-->", "]]>", "?>"), searched from 'from'; the
// characters before the '>' must match the rest of the terminator and lie at or after 'from'.
// Returns the offset after the terminator or 0 when there is none.
uint32_t FindTerminator(const char16_t* text, uint32_t end, uint32_t from, char16_t c1,
                        char16_t c2) {
  const uint32_t need = c2 ? 2 : 1;
  if (from > end) from = end;
  const char16_t* base = text;
  const char16_t* p = text + from;
  const char16_t* stop = text + end;
  for (;;) {
    p = FindAnyXmlChar(p, stop, '>', '>', '>', '>');
    if (p == stop) return 0;
    uint32_t gt = static_cast<uint32_t>(p - base);
    if (gt >= from + need) {
      if (need == 1 ? base[gt - 1] == c1 : (base[gt - 2] == c1 && base[gt - 1] == c2))
        return gt + 1;
    }
    ++p;
  }
}

// Finds the '>' that ends a tag; quoted attribute values (a quote after '=', whitespace allowed
// between) are skipped. With stopAtLt an unquoted '<' ends the search before it. Returns the
// offset of the '>' or '<', or end when the text ran out.
uint32_t FindTagClose(const char16_t* text, uint32_t end, uint32_t tagStart, uint32_t from,
                      bool stopAtLt) {
  const char16_t* p = text + from;
  const char16_t* stop = text + end;
  const char16_t lt = stopAtLt ? u'<' : u'>';
  for (;;) {
    p = FindAnyXmlChar(p, stop, '>', '"', '\'', lt);
    if (p == stop) return end;
    char16_t c = *p;
    if (c == '>' || c == '<') return static_cast<uint32_t>(p - text);
    const char16_t* back = p - 1;
    while (back > text + tagStart && IsXmlSpace(*back)) --back;
    if (*back == '=') {
      const char16_t* close = FindAnyXmlChar(p + 1, stop, c, c, c, c);
      if (close == stop) return end;
      p = close + 1;
    } else {
      ++p;
    }
  }
}

// A markup declaration ends at the first '>' outside any quotes.
uint32_t FindDeclarationClose(const char16_t* text, uint32_t end, uint32_t from) {
  const char16_t* p = text + from;
  const char16_t* stop = text + end;
  for (;;) {
    p = FindAnyXmlChar(p, stop, '>', '"', '\'', '>');
    if (p == stop) return 0;
    if (*p == '>') return static_cast<uint32_t>(p - text) + 1;
    const char16_t* close = FindAnyXmlChar(p + 1, stop, *p, *p, *p, *p);
    if (close == stop) return 0;
    p = close + 1;
  }
}

void Unterminated(XmlNode& node, XmlScanProblem problem, uint32_t end) {
  node.kind = XmlNodeKind::kError;
  node.problem = problem;
  node.problemOffset = node.start;
  node.length = end - node.start;
}

// An error node runs to its '>' like a start tag, or ends just before the next '<'.
uint32_t ErrorNode(const char16_t* text, uint32_t end, XmlNode& node, XmlScanProblem problem) {
  node.kind = XmlNodeKind::kError;
  node.problem = problem;
  node.problemOffset = node.start;
  uint32_t at = FindTagClose(text, end, node.start, node.start + 1, true);
  if (at == end) {
    Unterminated(node, XmlScanProblem::kUnterminatedTag, end);
    return end;
  }
  uint32_t next = text[at] == '>' ? at + 1 : at;
  node.length = next - node.start;
  return next;
}

// The internal part of a document type declaration may hold markup declarations, comments,
// processing instructions and tags; its own '>' is the first one outside them.
uint32_t DocTypeNode(const char16_t* text, uint32_t end, XmlNode& node) {
  node.kind = XmlNodeKind::kDocType;
  const char16_t* stop = text + end;
  uint32_t pos = node.start + 2;
  auto nestedError = [&](uint32_t at, XmlScanProblem problem) {
    if (node.problem == XmlScanProblem::kNone) {
      node.kind = XmlNodeKind::kError;
      node.problem = problem;
      node.problemOffset = at;
    }
  };
  for (;;) {
    const char16_t* p = FindAnyXmlChar(text + pos, stop, '<', '>', '<', '>');
    if (p == stop) break;
    uint32_t at = static_cast<uint32_t>(p - text);
    if (*p == '>') {
      node.length = at + 1 - node.start;
      return at + 1;
    }
    uint32_t next = 0;
    char16_t c1 = at + 1 < end ? text[at + 1] : 0;
    char16_t c2 = at + 2 < end ? text[at + 2] : 0;
    char16_t c3 = at + 3 < end ? text[at + 3] : 0;
    if (c1 == '!' && c2 == '-' && c3 == '-') {
      next = FindTerminator(text, end, at + 4, '-', '-');
    } else if (c1 == '!' && (c2 == 'E' || c2 == 'A' || c2 == 'N')) {
      next = FindDeclarationClose(text, end, at + 2);
    } else if (c1 == '?') {
      next = FindTerminator(text, end, at + 2, '?', 0);
    } else {
      if (c1 == '!')
        nestedError(at, c2 == '-' ? XmlScanProblem::kCommentTag : XmlScanProblem::kBangTag);
      uint32_t close = FindTagClose(text, end, at, at + 1, false);
      next = close == end ? 0 : close + 1;
    }
    if (next == 0) break;
    pos = next;
  }
  Unterminated(node, XmlScanProblem::kUnterminatedDocType, end);
  return end;
}

}  // namespace

uint32_t ScanTagNameLength(const char16_t* text, uint32_t end, uint32_t pos) {
  uint32_t i = pos;
  while (i < end) {
    char16_t c = text[i];
    if (IsXmlSpace(c) || c == '/' || c == '>') break;
    ++i;
  }
  return i - pos;
}

uint32_t ScanXmlNode(const char16_t* text, uint32_t end, uint32_t pos, XmlNode& node) {
  node.start = pos;
  node.problem = XmlScanProblem::kNone;
  node.emptyElement = false;
  node.nameLength = 0;
  char16_t c0 = text[pos];
  if (c0 != '<') {
    uint32_t i = pos;
    node.kind = XmlNodeKind::kWhitespace;
    while (i < end && IsXmlSpace(text[i])) ++i;
    if (i < end && text[i] != '<') {
      node.kind = XmlNodeKind::kText;
      i = static_cast<uint32_t>(FindXmlChar(text + i, text + end, '<') - text);
    }
    node.length = i - pos;
    return i;
  }
  if (pos + 1 >= end) {
    Unterminated(node, XmlScanProblem::kUnterminatedTag, end);
    return end;
  }
  char16_t c1 = text[pos + 1];
  if (IsNameStart(c1)) {
    node.kind = XmlNodeKind::kElement;
    node.nameStart = pos + 1;
    node.nameLength = ScanTagNameLength(text, end, pos + 1);
    uint32_t nameEnd = pos + 1 + node.nameLength;
    uint32_t gt = FindTagClose(text, end, pos, nameEnd, false);
    if (gt == end) {
      Unterminated(node, XmlScanProblem::kUnterminatedElementTag, end);
      return end;
    }
    if (text[gt - 1] == '/') {
      char16_t before = text[gt - 2];
      node.emptyElement = gt - 1 == nameEnd || IsXmlSpace(before) || IsQuote(before);
    }
    node.length = gt + 1 - pos;
    return gt + 1;
  }
  if (c1 == '/') {
    node.kind = XmlNodeKind::kEndTag;
    node.nameStart = pos + 2;
    node.nameLength = ScanTagNameLength(text, end, pos + 2);
    const char16_t* gt = FindXmlChar(text + pos + 2, text + end, '>');
    if (gt == text + end) {
      Unterminated(node, XmlScanProblem::kUnterminatedEndTag, end);
      return end;
    }
    uint32_t next = static_cast<uint32_t>(gt - text) + 1;
    node.length = next - pos;
    return next;
  }
  uint32_t next = 0;
  XmlScanProblem unterminated = XmlScanProblem::kUnterminatedTag;
  if (c1 == '?') {
    node.kind = XmlNodeKind::kProcessingInstruction;
    node.nameStart = pos + 2;
    node.nameLength = ScanTagNameLength(text, end, pos + 2);
    next = FindTerminator(text, end, pos + 2, '?', 0);
    unterminated = XmlScanProblem::kUnterminatedProcessingInstruction;
  } else if (c1 != '!') {
    return ErrorNode(text, end, node, XmlScanProblem::kTagNameCharacter);
  } else {
    if (pos + 2 >= end) {
      Unterminated(node, XmlScanProblem::kUnterminatedTag, end);
      return end;
    }
    char16_t c2 = text[pos + 2];
    char16_t c3 = pos + 3 < end ? text[pos + 3] : 0;
    if (c2 == '-') {
      if (c3 != '-') return ErrorNode(text, end, node, XmlScanProblem::kCommentTag);
      node.kind = XmlNodeKind::kComment;
      next = FindTerminator(text, end, pos + 4, '-', '-');
      unterminated = XmlScanProblem::kUnterminatedComment;
    } else if (c2 == '[') {
      if (c3 != 'C') return ErrorNode(text, end, node, XmlScanProblem::kTag);
      node.kind = XmlNodeKind::kCData;
      next = FindTerminator(text, end, pos + 9, ']', ']');
      unterminated = XmlScanProblem::kUnterminatedCData;
    } else if (c2 == 'E' || c2 == 'A' || c2 == 'N') {
      node.kind = XmlNodeKind::kDocType;
      next = FindDeclarationClose(text, end, pos + 2);
      unterminated = XmlScanProblem::kUnterminatedDocType;
    } else if (c2 == 'D') {
      return DocTypeNode(text, end, node);
    } else {
      return ErrorNode(text, end, node, XmlScanProblem::kBangTag);
    }
  }
  if (next == 0) {
    Unterminated(node, unterminated, end);
    return end;
  }
  node.length = next - pos;
  return next;
}

void AppendScanProblemMessage(XmlScanProblem problem, uint32_t offset, std::u16string& out) {
  const char* word = "";
  bool incorrect = true;
  switch (problem) {
    case XmlScanProblem::kNone:
      return;
    case XmlScanProblem::kTagNameCharacter:
      word = "tag name character";
      break;
    case XmlScanProblem::kBangTag:
      word = "! tag";
      break;
    case XmlScanProblem::kCommentTag:
      word = "comment tag";
      break;
    case XmlScanProblem::kTag:
      word = "tag";
      break;
    case XmlScanProblem::kUnterminatedElementTag:
      word = "Element tag";
      incorrect = false;
      break;
    case XmlScanProblem::kUnterminatedEndTag:
      word = "Element end tag";
      incorrect = false;
      break;
    case XmlScanProblem::kUnterminatedCData:
      word = "CDATA Section";
      incorrect = false;
      break;
    case XmlScanProblem::kUnterminatedProcessingInstruction:
      word = "Processing instruction";
      incorrect = false;
      break;
    case XmlScanProblem::kUnterminatedComment:
      word = "Comment";
      incorrect = false;
      break;
    case XmlScanProblem::kUnterminatedDocType:
      word = "Doctype";
      incorrect = false;
      break;
    case XmlScanProblem::kUnterminatedTag:
      word = "tag";
      incorrect = false;
      break;
  }
  if (incorrect) {
    AppendAscii(out, "Incorrect ");
    AppendAscii(out, word);
    AppendAscii(out, " at offset ");
    AppendNumber(out, offset);
  } else {
    AppendAscii(out, word);
    AppendAscii(out, " at offset ");
    AppendNumber(out, offset);
    AppendAscii(out, " unterminated");
  }
}
