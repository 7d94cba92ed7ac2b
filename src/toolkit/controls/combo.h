// Combo: a button-like box showing the selected item, with a drop-down list of items drawn over
// the window (below the box, or above it when the window has no room below). A pick sends
// "itemselect" (wParam = new index, lParam = previous index). Up / Down move the selection
// while focused; Enter or Space opens and closes the list.
#pragma once

#include <string>
#include <vector>

#include "toolkit/controls/button.h"

namespace SkinUI {

class Combo : public Button {
 public:
  Combo();
  std::u16string_view GetClass() const override { return u"Combo"; }
  void* GetInterface(std::u16string_view name) override;

  // Items: a text and a fixed height each.
  int AddItem(std::u16string text, int height = 32);
  bool RemoveItem(int index);
  void RemoveAll();
  int GetCount() const { return static_cast<int>(items_.size()); }
  std::u16string GetItemText(int index) const;  // empty when out of range
  int GetCurSel() const { return selected_; }
  // -1 clears the selection; with notify sends "itemselect" when it changed.
  bool SelectItem(int index, bool notify = false);

  // The drop-down list: its size (width 0 = the box's width) and its item look.
  void SetDropBoxSize(Size size);
  Size GetDropBoxSize() const { return dropSize_; }
  void SetItemTextPadding(const Edges& padding);
  void SetItemTextColor(Color color);
  void SetSelectedItemBkColor(Color color);
  void SetHotItemBkColor(Color color);
  void SetItemFont(int font);

  bool IsDropped() const { return dropped_; }
  void SetDropped(bool dropped);
  // The list's rectangle in client coordinates while dropped.
  Rect DropRect() const;
  // The item under a client point of the open list, or -1.
  int ItemAt(Point point) const;

  void Activate() override;
  void SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void DoEvent(UiEvent& event) override;
  void SetVisible(bool visible) override;

  // The open list is drawn last, above everything else of the window.
  void PaintDropList(Painter& painter);

 protected:
  void PaintText(Painter& painter) override;

  struct Item {
    std::u16string text;
    int height = 32;
  };
  std::vector<Item> items_;
  int selected_ = -1;
  int hotItem_ = -1;
  bool dropped_ = false;
  Size dropSize_{0, 150};
  Edges itemTextPadding_;
  Color itemTextColor_ = 0;
  Color selectedItemBkColor_ = 0xFF1398F0;
  Color hotItemBkColor_ = 0xFFAFDCFA;
  int itemFont_ = -1;
};

}  // namespace SkinUI
