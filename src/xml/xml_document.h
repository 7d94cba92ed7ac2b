// XmlDocument: a non-validating XML reader and writer over one in-memory UTF-16 text, with an
// index of element records and a cursor of three positions (parent, current, child).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/element_records.h"

class XmlDocument {
 public:
  // Document flag: compare names without regard to ASCII case.
  static constexpr uint32_t kFlagIgnoreCase = 8;

  XmlDocument();  // an empty document: "Empty document"
  explicit XmlDocument(std::u16string_view text);

  // Replaces the text, clears the message, parses; true when well formed.
  bool LoadText(std::u16string_view text);
  bool LoadText(std::u16string&& text);
  bool LoadText(const char16_t* text);  // nullptr counts as empty

  // Parses the current text again; the current message is kept as a prefix (", " between).
  bool Parse();

  // The mutable forms let ReadUtf8File fill the document before Parse; records refer to the
  // old text until then.
  const std::u16string& DocumentText() const { return text_; }
  std::u16string& DocumentText() { return text_; }
  const std::u16string& ResultMessage() const { return message_; }
  std::u16string& ResultMessage() { return message_; }

  // Whole-file UTF-8 reads and writes. The message tells the sizes, or the error text.
  static bool ReadUtf8File(std::u16string_view path, std::u16string& text, std::u16string& message);
  static bool WriteUtf8File(std::u16string_view path, std::u16string_view text,
                            std::u16string& message);
  // ReadUtf8File into this document, then Parse: true only when both succeed.
  bool LoadUtf8File(std::u16string_view path);
  bool SaveUtf8File(std::u16string_view path);

  // Navigation. An empty name takes the next element whatever its name; a name may carry a
  // suffix after one of " =/[]" ("item[1]" finds item). Not found: nothing changes.
  void Rewind();
  void RewindChild();
  bool NextElement(std::u16string_view name = {});
  bool NextChild(std::u16string_view name = {});
  bool Descend();
  bool Ascend();

  // Reading the current element (empty without one).
  std::u16string ElementText() const;
  std::u16string AttributeValue(std::u16string_view name) const;
  std::u16string ElementName() const;
  // Text of the first child of that name of the current element; output untouched when absent.
  bool ChildText(std::u16string_view name, std::u16string& out);

  // Inserts <name>text</name> (or <name/>) plus CR LF after the current element, or as the last
  // child of the parent; the new element becomes current. Always true.
  bool AddElement(std::u16string_view name, std::u16string_view text = {});

  uint32_t DocFlags() const { return docFlags_; }
  void SetDocFlags(uint32_t flags) { docFlags_ = flags; }

  // Cursor and index, for callers that walk the structure themselves.
  uint32_t ParentPosition() const { return parent_; }
  uint32_t CurrentPosition() const { return current_; }
  uint32_t ChildPosition() const { return child_; }
  int NodeType() const { return nodeType_; }
  const ElementRecord& Record(uint32_t index) const { return records_[index]; }
  uint32_t RecordCount() const { return records_.NextFree(); }
  uint32_t StartTagLength(uint32_t index) const { return records_.StartTagLength(index); }
  uint32_t EndTagLength(uint32_t index) const { return records_.EndTagLength(index); }

 private:
  void BuildStructure(uint32_t end);
  void LinkLastChild(uint32_t parent, uint32_t index);
  void LinkAfter(uint32_t sibling, uint32_t index);
  void CloseNotEnded(uint32_t index, bool moveChildrenUp);
  void SetProblem(std::u16string message);
  bool NameMatchesAt(uint32_t index, std::u16string_view name) const;
  void UpdateNodeType();
  // Replaces text [from, to) and moves or stretches every record around it.
  void ReplaceText(uint32_t from, uint32_t to, std::u16string_view with);

  std::u16string text_;
  std::u16string message_;
  uint32_t parent_ = 0;
  uint32_t current_ = 0;
  uint32_t child_ = 0;
  int nodeType_ = 0;
  uint32_t nodeOffset_ = 0;
  uint32_t nodeLength_ = 0;
  uint32_t docFlags_ = 0;
  ElementRecords records_;
};
