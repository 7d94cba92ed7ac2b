#include "toolkit/controls/container.h"

#include <algorithm>

#include "toolkit/paint/paint_manager.h"
#include "toolkit/render/painter.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

void* Container::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Container") ? this : Control::GetInterface(name);
}

void* VerticalLayout::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"VerticalLayout") ? this : Container::GetInterface(name);
}

void* HorizontalLayout::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"HorizontalLayout") ? this : Container::GetInterface(name);
}

Control* Container::Add(std::unique_ptr<Control> child) {
  return AddAt(std::move(child), children_.size());
}

Control* Container::AddAt(std::unique_ptr<Control> child, size_t index) {
  if (!child) return nullptr;
  Control* raw = child.get();
  children_.insert(
      children_.begin() + static_cast<std::ptrdiff_t>(std::min(index, children_.size())),
      std::move(child));
  raw->Attach(manager_, this);
  NeedParentUpdate();
  return raw;
}

bool Container::Remove(Control* child) {
  for (auto it = children_.begin(); it != children_.end(); ++it) {
    if (it->get() != child) continue;
    child->Invalidate();
    children_.erase(it);
    NeedParentUpdate();
    return true;
  }
  return false;
}

void Container::RemoveAll() {
  children_.clear();
  NeedParentUpdate();
}

Control* Container::GetItemAt(size_t index) const {
  return index < children_.size() ? children_[index].get() : nullptr;
}

int Container::GetItemIndex(const Control* child) const {
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i].get() == child) return static_cast<int>(i);
  return -1;
}

void Container::SetInset(const Edges& inset) {
  inset_ = inset;
  NeedParentUpdate();
}

void Container::SetChildPadding(int padding) {
  childPadding_ = padding;
  NeedParentUpdate();
}

void Container::SetAttribute(std::u16string_view name, std::u16string_view value) {
  if (EqualsNoCase(name, u"inset")) {
    if (std::optional<Edges> e = ParseEdges(value))
      SetInset(*e);
    else
      ReportAttribute(name, value, true);
    return;
  }
  if (EqualsNoCase(name, u"childpadding")) {
    if (std::optional<int> v = ParseInt(value))
      SetChildPadding(*v);
    else
      ReportAttribute(name, value, true);
    return;
  }
  Control::SetAttribute(name, value);
}

void Container::OnAttached() {
  for (auto& child : children_) child->Attach(manager_, this);
}

Rect Container::InnerRect() const {
  return {pos_.left + inset_.left, pos_.top + inset_.top, pos_.right - inset_.right,
          pos_.bottom - inset_.bottom};
}

void Container::PlaceFloating(Control& child) const {
  child.SetPos(child.GetFloatPos().Offset(pos_.left, pos_.top));
}

void Container::SetPos(const Rect& absolute) {
  Control::SetPos(absolute);
  for (auto& child : children_)
    if (child->IsFloat()) PlaceFloating(*child);
  LayoutChildren(InnerRect());
}

void Container::LayoutChildren(const Rect& inner) {
  for (auto& child : children_) {
    if (child->IsFloat() || !child->IsVisible()) continue;
    Rect r = inner;
    if (child->GetFixedWidth() > 0) r.right = std::min(r.right, r.left + child->GetFixedWidth());
    if (child->GetFixedHeight() > 0) r.bottom = std::min(r.bottom, r.top + child->GetFixedHeight());
    child->SetPos(r);
  }
}

// Stacks the visible non-floating children along one axis: fixed sizes first, the rest shared.
namespace {

template <bool kVertical>
void Stack(const std::vector<std::unique_ptr<Control>>& children, const Rect& inner, int padding) {
  std::vector<Control*> flow;
  for (auto& child : children)
    if (!child->IsFloat() && child->IsVisible()) flow.push_back(child.get());
  if (flow.empty()) return;
  const int total = kVertical ? inner.Height() : inner.Width();
  int fixed = padding * static_cast<int>(flow.size() - 1);
  int shares = 0;
  for (Control* c : flow) {
    const int size = kVertical ? c->GetFixedHeight() : c->GetFixedWidth();
    if (size > 0)
      fixed += size;
    else
      ++shares;
  }
  const int share = shares ? std::max(0, total - fixed) / shares : 0;
  int at = kVertical ? inner.top : inner.left;
  for (Control* c : flow) {
    const int fixedAlong = kVertical ? c->GetFixedHeight() : c->GetFixedWidth();
    const int along = fixedAlong > 0 ? fixedAlong : share;
    const int across = kVertical ? c->GetFixedWidth() : c->GetFixedHeight();
    Rect r;
    if (kVertical) {
      r = {inner.left, at, across > 0 ? inner.left + across : inner.right, at + along};
    } else {
      r = {at, inner.top, at + along, across > 0 ? inner.top + across : inner.bottom};
    }
    c->SetPos(r);
    at += along + padding;
  }
}

}  // namespace

void VerticalLayout::LayoutChildren(const Rect& inner) {
  Stack<true>(children_, inner, childPadding_);
}

void HorizontalLayout::LayoutChildren(const Rect& inner) {
  Stack<false>(children_, inner, childPadding_);
}

void Container::Paint(Painter& painter) {
  const Rect visible = pos_.Intersect(painter.Clip());
  if (visible.IsEmpty()) return;
  Control::Paint(painter);
  painter.PushClip(pos_);
  for (auto& child : children_)
    if (child->IsVisible()) child->Paint(painter);
  painter.PopClip();
}

}  // namespace SkinUI
