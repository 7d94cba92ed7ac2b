// Reads one markup node at a time from a UTF-16 document text.
#pragma once

#include <cstdint>
#include <string>

enum class XmlNodeKind : uint8_t {
  kElement,  // start tag or empty-element tag
  kEndTag,
  kText,
  kWhitespace,
  kCData,
  kProcessingInstruction,
  kComment,
  kDocType,
  kError,
  kEnd,
};

enum class XmlScanProblem : uint8_t {
  kNone,
  // "Incorrect <word> at offset N"
  kTagNameCharacter,
  kBangTag,
  kCommentTag,
  kTag,
  // "<word> at offset N unterminated"
  kUnterminatedElementTag,
  kUnterminatedEndTag,
  kUnterminatedCData,
  kUnterminatedProcessingInstruction,
  kUnterminatedComment,
  kUnterminatedDocType,
  kUnterminatedTag,
};

struct XmlNode {
  XmlNodeKind kind = XmlNodeKind::kEnd;
  XmlScanProblem problem = XmlScanProblem::kNone;
  bool emptyElement = false;
  uint32_t start = 0;
  uint32_t length = 0;
  uint32_t nameStart = 0;  // start tags, end tags, processing instructions
  uint32_t nameLength = 0;
  uint32_t problemOffset = 0;
};

// Scans the node at pos (pos < end) of text[0, end) and returns the offset just after it.
// Problems are reported in node.problem; an unterminated node runs to end.
uint32_t ScanXmlNode(const char16_t* text, uint32_t end, uint32_t pos, XmlNode& node);

// Length of a tag name at pos: up to whitespace, '/' or '>' (or end).
uint32_t ScanTagNameLength(const char16_t* text, uint32_t end, uint32_t pos);

// The message text of a problem ("Incorrect tag at offset 5", "Comment at offset 0 unterminated").
void AppendScanProblemMessage(XmlScanProblem problem, uint32_t offset, std::u16string& out);
