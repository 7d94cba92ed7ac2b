// Containers: a control that holds children. Container gives every non-floating child the whole
// inner rectangle; VerticalLayout and HorizontalLayout stack them (fixed sizes first, the rest
// shared). Floating children sit at their fixed rectangles in every kind.
#pragma once

#include <memory>
#include <vector>

#include "toolkit/controls/control.h"

namespace SkinUI {

class Container : public Control {
 public:
  std::u16string_view GetClass() const override { return u"Container"; }
  void* GetInterface(std::u16string_view name) override;

  // Takes ownership; the child joins the window's tree at once when the container is in one.
  Control* Add(std::unique_ptr<Control> child);
  Control* AddAt(std::unique_ptr<Control> child, size_t index);
  // Deletes the child (its timers end with it).
  bool Remove(Control* child);
  void RemoveAll();
  size_t GetCount() const { return children_.size(); }
  Control* GetItemAt(size_t index) const;
  int GetItemIndex(const Control* child) const;

  // Space between the border and the children ("inset") and between stacked children
  // ("childpadding").
  void SetInset(const Edges& inset);
  void SetChildPadding(int padding);

  void SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void SetPos(const Rect& absolute) override;
  void Paint(Painter& painter) override;
  void OnAttached() override;

  // Children in paint order (later ones lie above earlier ones).
  const std::vector<std::unique_ptr<Control>>& Children() const { return children_; }

 protected:
  // Places the non-floating children inside `inner`.
  virtual void LayoutChildren(const Rect& inner);
  void PlaceFloating(Control& child) const;
  Rect InnerRect() const;

  std::vector<std::unique_ptr<Control>> children_;
  Edges inset_;
  int childPadding_ = 0;
};

class VerticalLayout : public Container {
 public:
  std::u16string_view GetClass() const override { return u"VerticalLayout"; }
  void* GetInterface(std::u16string_view name) override;

 protected:
  void LayoutChildren(const Rect& inner) override;
};

class HorizontalLayout : public Container {
 public:
  std::u16string_view GetClass() const override { return u"HorizontalLayout"; }
  void* GetInterface(std::u16string_view name) override;

 protected:
  void LayoutChildren(const Rect& inner) override;
};

}  // namespace SkinUI
