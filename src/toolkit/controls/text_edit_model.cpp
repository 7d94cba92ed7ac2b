#include "toolkit/controls/text_edit_model.h"

namespace SkinUI {

namespace {

bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}
bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

void TextEditModel::SetText(std::u16string text) {
  text_ = std::move(text);
  caret_ = anchor_ = text_.size();
}

std::u16string TextEditModel::SelectedText() const {
  return text_.substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

size_t TextEditModel::Clamp(size_t position) const {
  if (position > text_.size()) position = text_.size();
  // Never between the halves of a surrogate pair.
  if (position > 0 && position < text_.size() && IsLow(text_[position]) &&
      IsHigh(text_[position - 1]))
    --position;
  return position;
}

size_t TextEditModel::PreviousBoundary(size_t position) const {
  if (position == 0) return 0;
  --position;
  if (position > 0 && IsLow(text_[position]) && IsHigh(text_[position - 1])) --position;
  return position;
}

size_t TextEditModel::NextBoundary(size_t position) const {
  if (position >= text_.size()) return text_.size();
  ++position;
  if (position < text_.size() && IsLow(text_[position]) && IsHigh(text_[position - 1])) ++position;
  return position;
}

void TextEditModel::MoveTo(size_t position, bool extend) {
  caret_ = Clamp(position);
  if (!extend) anchor_ = caret_;
}

void TextEditModel::MoveLeft(bool extend) {
  if (HasSelection() && !extend) return MoveTo(SelectionStart(), false);
  MoveTo(PreviousBoundary(caret_), extend);
}

void TextEditModel::MoveRight(bool extend) {
  if (HasSelection() && !extend) return MoveTo(SelectionEnd(), false);
  MoveTo(NextBoundary(caret_), extend);
}

void TextEditModel::MoveHome(bool extend) {
  MoveTo(0, extend);
}
void TextEditModel::MoveEnd(bool extend) {
  MoveTo(text_.size(), extend);
}

void TextEditModel::SelectAll() {
  anchor_ = 0;
  caret_ = text_.size();
}

bool TextEditModel::Insert(std::u16string_view text, bool multiLine, size_t maxChars) {
  std::u16string clean;
  clean.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') continue;
      c = u'\n';
    }
    if (c == u'\n' && !multiLine) continue;
    if (c < 0x20 && c != u'\n' && c != u'\t') continue;
    clean.push_back(c);
  }
  const size_t start = SelectionStart(), end = SelectionEnd();
  if (maxChars > 0) {
    const size_t room =
        maxChars > text_.size() - (end - start) ? maxChars - (text_.size() - (end - start)) : 0;
    if (clean.size() > room) {
      size_t cut = room;
      if (cut > 0 && IsHigh(clean[cut - 1])) --cut;
      clean.resize(cut);
    }
  }
  if (clean.empty() && start == end) return false;
  text_.replace(start, end - start, clean);
  caret_ = anchor_ = start + clean.size();
  return true;
}

bool TextEditModel::DeleteBackward() {
  if (HasSelection()) return Insert({}, true, 0);
  if (caret_ == 0) return false;
  const size_t from = PreviousBoundary(caret_);
  text_.erase(from, caret_ - from);
  caret_ = anchor_ = from;
  return true;
}

bool TextEditModel::DeleteForward() {
  if (HasSelection()) return Insert({}, true, 0);
  if (caret_ >= text_.size()) return false;
  const size_t to = NextBoundary(caret_);
  text_.erase(caret_, to - caret_);
  anchor_ = caret_;
  return true;
}

}  // namespace SkinUI
