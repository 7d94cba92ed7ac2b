// Control: the base of every element of a skinned window. It owns the common attributes (name,
// rectangle, visibility, enabled state, text and its look, background colour and image, border)
// and draws them; the kinds add behaviour.
//
// Controls live on the window's thread: create, change and read them there only (other threads
// use WindowBase::Invoke or Post). The toolkit owns every control of a window's tree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/controls/ui_event.h"
#include "toolkit/geometry.h"
#include "toolkit/render/text_style.h"

namespace SkinUI {

class Container;
class PaintManager;
class Painter;

class Control {
 public:
  Control();
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // The kind name as skin documents write it ("Label", "Button", ...).
  virtual std::u16string_view GetClass() const { return u"Control"; }
  // This control when it is of the kind `name` (case-insensitive), else nullptr: lets code that
  // knows a kind by name only ("WebBrowserEx") reach it.
  virtual void* GetInterface(std::u16string_view name);

  const std::u16string& GetName() const { return name_; }
  void SetName(std::u16string name) { name_ = std::move(name); }

  Container* GetParent() const { return parent_; }
  PaintManager* GetManager() const { return manager_; }

  // ---- Position.
  // The rectangle in the window's client coordinates, as the last layout placed it.
  const Rect& GetPos() const { return pos_; }
  // A floating control sits at a fixed rectangle relative to its parent's top-left corner
  // (attribute "pos" with float "true"); every other child is placed by its layout. Setting a
  // float position moves the control at once.
  void SetFloatPos(const Rect& relative);
  const Rect& GetFloatPos() const { return floatPos_; }
  bool IsFloat() const { return float_; }
  void SetFloat(bool isFloat);
  // Moves a floating control keeping its size, or sizes it keeping its corner.
  void SetFixedXY(Point relative);
  void SetFixedWidth(int width);
  void SetFixedHeight(int height);
  // The size a layout gives the control (0: take the share the layout assigns).
  int GetFixedWidth() const { return fixedSize_.cx; }
  int GetFixedHeight() const { return fixedSize_.cy; }

  // ---- State.
  // The control's own flag; a visible control is on screen only when its parents are too.
  bool IsVisible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool IsShownInWindow() const;  // this control and every parent visible
  bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  // Whether the control takes the mouse (labels and progress bars let it through to their
  // layout, which is how a window finds its drag areas).
  bool IsMouseEnabled() const { return mouseEnabled_; }
  void SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
  bool IsFocused() const;
  void SetFocus();
  // Kinds that take the keyboard (buttons, check boxes, combos, edits): Tab stops.
  virtual bool IsFocusable() const { return false; }

  // ---- Text and its look.
  const std::u16string& GetText() const { return text_; }
  virtual void SetText(std::u16string text);
  const std::u16string& GetToolTip() const { return toolTip_; }
  void SetToolTip(std::u16string tip) { toolTip_ = std::move(tip); }
  // A font number of the window's font table; -1 takes the table's default font.
  int GetFont() const { return font_; }
  void SetFont(int font);
  Color GetTextColor() const { return textColor_; }
  // The alpha byte of a text colour is ignored: texts are drawn opaque.
  void SetTextColor(Color color);
  void SetDisabledTextColor(Color color);
  const Edges& GetTextPadding() const { return textPadding_; }
  void SetTextPadding(const Edges& padding);
  HAlign GetHAlign() const { return hAlign_; }
  void SetHAlign(HAlign align);
  void SetVAlign(VAlign align);
  bool IsWordBreak() const { return wordBreak_; }
  void SetWordBreak(bool wordBreak);
  // Rich text: the text carries the inline markup {f n}{c #rrggbb}{u}{l} (attribute "showhtml").
  bool IsRichText() const { return richText_; }
  void SetRichText(bool rich);

  // ---- Background and border.
  void SetBkColor(Color color);
  Color GetBkColor() const { return bkColor_; }
  // Image notation: "file='x.png' corner='l,t,r,b' dest='l,t,r,b'", "res='136' restype='PNG'",
  // or a bare file name. An empty text removes the image; a missing image draws nothing.
  void SetBkImage(std::u16string image);
  const std::u16string& GetBkImage() const { return bkImage_; }
  void SetBorderSize(int size);
  void SetBorderColor(Color color);

  // ---- Data for the window's code.
  const std::u16string& GetUserData() const { return userData_; }
  void SetUserData(std::u16string data) { userData_ = std::move(data); }
  uintptr_t GetTag() const { return tag_; }
  void SetTag(uintptr_t tag) { tag_ = tag; }

  // Sets one attribute by name with the skin documents' names and value notations ("pos",
  // "text", "font", "textcolor", "bkimage", "wordbreak", "align", "visible", ...). Names are
  // case-insensitive; an unknown name or a malformed value is logged and ignored.
  virtual void SetAttribute(std::u16string_view name, std::u16string_view value);

  // Asks for a repaint of the control's rectangle.
  void Invalidate();
  // Asks for a new layout of the parent (size or visibility changed).
  void NeedParentUpdate();

  // ---- For layouts, the paint manager and the kinds.
  // Places the control at `absolute` (client coordinates); containers place their children.
  virtual void SetPos(const Rect& absolute);
  // The size the control wants inside `available` (layouts use it for children without a fixed
  // size).
  virtual Size EstimateSize(Size available);
  virtual void Paint(Painter& painter);
  virtual void DoEvent(UiEvent& event);
  // Called once the control is in a window's tree (the manager is set).
  virtual void OnAttached() {}
  void Attach(PaintManager* manager, Container* parent);

 protected:
  // The pieces Paint draws, in this order.
  virtual void PaintBkColor(Painter& painter);
  virtual void PaintBkImage(Painter& painter);
  virtual void PaintStatusImage(Painter& /*painter*/) {}
  virtual void PaintText(Painter& painter);
  virtual void PaintBorder(Painter& painter);
  // The text colour for the current state.
  Color EffectiveTextColor() const;
  // The control's text look: its font, state colour, alignment, wrapping and markup.
  TextStyle BaseTextStyle() const;
  Rect TextRect() const;  // pos_ minus the text padding
  // Logs an attribute that is unknown (known false) or whose value is malformed.
  void ReportAttribute(std::u16string_view name, std::u16string_view value, bool known) const;
  // Sends a notification from this control through the manager.
  void Notify(const char* type, uint64_t wParam = 0, int64_t lParam = 0);

  std::u16string name_;
  Container* parent_ = nullptr;
  PaintManager* manager_ = nullptr;
  Rect pos_;
  Rect floatPos_;
  Size fixedSize_;
  bool float_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  bool mouseEnabled_ = true;
  std::u16string text_;
  std::u16string toolTip_;
  int font_ = -1;
  Color textColor_ = 0;  // 0: the window's default text colour
  Color disabledTextColor_ = 0;
  bool hasTextColor_ = false;
  bool hasDisabledTextColor_ = false;
  Edges textPadding_;
  HAlign hAlign_ = HAlign::Left;
  VAlign vAlign_ = VAlign::Center;
  bool wordBreak_ = false;
  bool richText_ = false;
  Color bkColor_ = 0;
  std::u16string bkImage_;
  int borderSize_ = 0;
  Color borderColor_ = 0;  // a border without a colour draws nothing
  std::u16string userData_;
  uintptr_t tag_ = 0;
};

}  // namespace SkinUI
