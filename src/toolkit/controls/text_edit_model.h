// The text, caret and selection of an edit control, independent of drawing. Positions are
// UTF-16 indexes that never split a surrogate pair.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace SkinUI {

class TextEditModel {
 public:
  const std::u16string& Text() const { return text_; }
  // Replaces everything; the caret goes to the end, the selection is cleared.
  void SetText(std::u16string text);

  size_t Caret() const { return caret_; }
  size_t Anchor() const { return anchor_; }
  bool HasSelection() const { return caret_ != anchor_; }
  size_t SelectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
  size_t SelectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
  std::u16string SelectedText() const;

  // Moves the caret; with extend the anchor stays (Shift held), otherwise it follows.
  void MoveTo(size_t position, bool extend);
  void MoveLeft(bool extend);
  void MoveRight(bool extend);
  void MoveHome(bool extend);  // start of the text (of the line for multi-line callers)
  void MoveEnd(bool extend);
  void SelectAll();

  // Replaces the selection with `text` (newlines dropped unless multiLine; at most maxChars
  // units in total when maxChars > 0). True when the text changed.
  bool Insert(std::u16string_view text, bool multiLine, size_t maxChars);
  // Backspace / Delete: the selection, else one character before / after the caret.
  bool DeleteBackward();
  bool DeleteForward();

 private:
  size_t Clamp(size_t position) const;
  size_t PreviousBoundary(size_t position) const;
  size_t NextBoundary(size_t position) const;

  std::u16string text_;
  size_t caret_ = 0;
  size_t anchor_ = 0;
};

}  // namespace SkinUI
