#include "toolkit/controls/combo.h"

#include <algorithm>

#include "toolkit/messages.h"
#include "toolkit/paint/notification.h"
#include "toolkit/paint/paint_manager.h"
#include "toolkit/render/painter.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

namespace {

constexpr Color kListBk = 0xFFFFFFFF;
constexpr Color kListBorder = 0xFFD6DBE9;

}  // namespace

Combo::Combo() {
  hAlign_ = HAlign::Left;
}

void* Combo::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Combo") ? this : Button::GetInterface(name);
}

int Combo::AddItem(std::u16string text, int height) {
  items_.push_back({std::move(text), height > 0 ? height : 32});
  Invalidate();
  return static_cast<int>(items_.size()) - 1;
}

bool Combo::RemoveItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  items_.erase(items_.begin() + index);
  if (selected_ == index)
    selected_ = -1;
  else if (selected_ > index)
    --selected_;
  hotItem_ = -1;
  Invalidate();
  return true;
}

void Combo::RemoveAll() {
  SetDropped(false);
  items_.clear();
  selected_ = hotItem_ = -1;
  Invalidate();
}

std::u16string Combo::GetItemText(int index) const {
  return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)].text
                                          : std::u16string();
}

bool Combo::SelectItem(int index, bool notify) {
  if (index < -1 || index >= GetCount()) return false;
  if (index == selected_) return true;
  const int previous = selected_;
  selected_ = index;
  Invalidate();
  if (notify) Notify(kNotifyItemSelect, static_cast<uint64_t>(index), previous);
  return true;
}

void Combo::SetDropBoxSize(Size size) {
  dropSize_ = size;
}
void Combo::SetItemTextPadding(const Edges& padding) {
  itemTextPadding_ = padding;
}
void Combo::SetItemTextColor(Color color) {
  itemTextColor_ = color;
}
void Combo::SetSelectedItemBkColor(Color color) {
  selectedItemBkColor_ = color;
}
void Combo::SetHotItemBkColor(Color color) {
  hotItemBkColor_ = color;
}
void Combo::SetItemFont(int font) {
  itemFont_ = font;
}

void Combo::SetDropped(bool dropped) {
  if (dropped == dropped_) return;
  if (dropped && (items_.empty() || !IsEnabled())) return;
  if (manager_) manager_->Invalidate(DropRect());
  dropped_ = dropped;
  hotItem_ = -1;
  if (manager_) {
    manager_->SetPopup(dropped ? this : nullptr);
    manager_->Invalidate(DropRect());
  }
  Invalidate();
}

Rect Combo::DropRect() const {
  int height = dropSize_.cy;
  int content = 2;
  for (const Item& item : items_) content += item.height;
  if (height <= 0) height = content;
  const int width = dropSize_.cx > 0 ? dropSize_.cx : pos_.Width();
  const int clientHeight = manager_ ? manager_->GetClientSize().cy : 0;
  int top = pos_.bottom;
  // Above the box when the window has no room below it but room above.
  if (clientHeight > 0 && top + height > clientHeight && pos_.top - height >= 0)
    top = pos_.top - height;
  return Rect::FromXYWH(pos_.left, top, width, height);
}

int Combo::ItemAt(Point point) const {
  const Rect list = DropRect();
  if (!dropped_ || !list.Contains(point)) return -1;
  int y = list.top + 1;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (point.y >= y && point.y < y + items_[i].height) return static_cast<int>(i);
    y += items_[i].height;
  }
  return -1;
}

void Combo::Activate() {
  if (!IsEnabled() || !IsShownInWindow()) return;
  Notify(kNotifyClick);
  SetDropped(!dropped_);
}

void Combo::SetVisible(bool visible) {
  if (!visible) SetDropped(false);
  Button::SetVisible(visible);
}

void Combo::SetAttribute(std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  if (is(u"itemtextpadding")) {
    std::optional<Edges> e = ParseEdges(value);
    if (!e) return ReportAttribute(name, value, true);
    return SetItemTextPadding(*e);
  }
  if (is(u"dropboxsize")) {
    std::optional<Size> s = ParseSize(value);
    if (!s) return ReportAttribute(name, value, true);
    return SetDropBoxSize(*s);
  }
  if (is(u"itemtextcolor") || is(u"itemselectedbkcolor") || is(u"itemhotbkcolor")) {
    std::optional<Color> c = ParseColor(value);
    if (!c) return ReportAttribute(name, value, true);
    if (is(u"itemtextcolor")) SetItemTextColor(*c);
    if (is(u"itemselectedbkcolor")) SetSelectedItemBkColor(*c);
    if (is(u"itemhotbkcolor")) SetHotItemBkColor(*c);
    return;
  }
  if (is(u"itemfont")) {
    std::optional<int> f = ParseInt(value);
    if (!f) return ReportAttribute(name, value, true);
    return SetItemFont(*f);
  }
  Button::SetAttribute(name, value);
}

void Combo::DoEvent(UiEvent& event) {
  if (!IsEnabled()) return;
  if (dropped_ && DropRect().Contains(event.point) &&
      (event.type == UiEventType::MouseMove || event.type == UiEventType::ButtonUp ||
       event.type == UiEventType::ButtonDown)) {
    const int item = ItemAt(event.point);
    if (event.type == UiEventType::MouseMove && item != hotItem_) {
      hotItem_ = item;
      if (manager_) manager_->Invalidate(DropRect());
    } else if (event.type == UiEventType::ButtonUp && item >= 0) {
      SetDropped(false);
      SelectItem(item, true);
    }
    return;
  }
  if (event.type == UiEventType::KeyDown) {
    if (event.key == kVkUp || event.key == kVkDown) {
      event.handled = true;
      const int next = std::clamp(selected_ + (event.key == kVkUp ? -1 : 1), 0, GetCount() - 1);
      if (GetCount() > 0 && next != selected_) SelectItem(next, true);
      return;
    }
    if (event.key == kVkEscape && dropped_) {
      event.handled = true;
      SetDropped(false);
      return;
    }
  }
  if (event.type == UiEventType::KillFocus) SetDropped(false);
  Button::DoEvent(event);
}

void Combo::PaintText(Painter& painter) {
  const std::u16string text = GetItemText(selected_);
  if (text.empty()) return;
  TextStyle style = BaseTextStyle();
  style.vAlign = VAlign::Center;
  style.wordBreak = style.rich = false;
  painter.DrawText(TextRect(), text, style);
}

void Combo::PaintDropList(Painter& painter) {
  if (!dropped_) return;
  const Rect list = DropRect();
  painter.FillRect(list, kListBk);
  painter.DrawBorder(list, 1, kListBorder);
  painter.PushClip({list.left + 1, list.top + 1, list.right - 1, list.bottom - 1});
  int y = list.top + 1;
  for (size_t i = 0; i < items_.size(); ++i) {
    const Rect row{list.left + 1, y, list.right - 1, y + items_[i].height};
    const int index = static_cast<int>(i);
    if (index == selected_)
      painter.FillRect(row, selectedItemBkColor_);
    else if (index == hotItem_)
      painter.FillRect(row, hotItemBkColor_);
    TextStyle style;
    style.font = itemFont_ >= 0 ? itemFont_ : font_;
    style.color = index == selected_ ? 0xFFFFFFFF
                  : itemTextColor_   ? itemTextColor_
                                     : EffectiveTextColor();
    style.vAlign = VAlign::Center;
    const Rect textRect{row.left + itemTextPadding_.left, row.top + itemTextPadding_.top,
                        row.right - itemTextPadding_.right, row.bottom - itemTextPadding_.bottom};
    painter.DrawText(textRect, items_[i].text, style);
    y += items_[i].height;
  }
  painter.PopClip();
}

}  // namespace SkinUI
