#include "toolkit/skin/skin_builder.h"

#include "log/simple_log.h"
#include "toolkit/controls/button.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/combo.h"
#include "toolkit/controls/container.h"
#include "toolkit/controls/edit.h"
#include "toolkit/controls/label.h"
#include "toolkit/controls/progress.h"
#include "toolkit/controls/rich_edit.h"
#include "toolkit/controls/web_view_slot.h"
#include "toolkit/skin/attribute_values.h"
#include "toolkit/skin/xml_attributes.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace SkinUI {

namespace {

class Builder {
 public:
  Builder(std::string_view document, const ControlCreator& create)
      : document_(document), create_(create) {}

  void Problem(const char* what, std::u16string_view detail) {
    ++problems_;
    NUV_LOG(2, "[WARN] skin %s: %s [%s]", document_.c_str(), what, WideToUtf8(detail).c_str());
  }

  void ReadWindow(XmlDocument& doc, BuiltSkin& out) {
    for (const XmlAttribute& a : CurrentElementAttributes(doc)) {
      if (!ApplyWindowAttribute(out.window, a.first, a.second))
        Problem("bad window attribute", a.first + u"=" + a.second);
    }
    doc.RewindChild();
    while (doc.NextChild()) {
      doc.Descend();
      const std::u16string kind = doc.ElementName();
      if (EqualsNoCase(kind, u"Font")) {
        ReadFont(doc, out.window);
      } else if (!out.root) {
        out.root = ReadControl(doc);
      } else {
        Problem("second root control ignored", kind);
      }
      doc.Ascend();
    }
  }

  int Problems() const { return problems_; }

 private:
  void ReadFont(XmlDocument& doc, WindowSkin& window) {
    FontInfo info;
    std::optional<int> id;
    bool isDefault = false;
    for (const XmlAttribute& a : CurrentElementAttributes(doc)) {
      const std::u16string& n = a.first;
      const std::u16string& v = a.second;
      bool ok = true;
      if (EqualsNoCase(n, u"id")) {
        id = ParseInt(v);
        ok = id.has_value();
      } else if (EqualsNoCase(n, u"name")) {
        info.face = v;
      } else if (EqualsNoCase(n, u"size")) {
        std::optional<int> size = ParseInt(v);
        ok = size && *size > 0 && *size < 200;
        if (ok) info.size = *size;
      } else if (EqualsNoCase(n, u"bold") || EqualsNoCase(n, u"underline") ||
                 EqualsNoCase(n, u"italic") || EqualsNoCase(n, u"default")) {
        std::optional<bool> flag = ParseBool(v);
        ok = flag.has_value();
        if (ok && EqualsNoCase(n, u"bold")) info.bold = *flag;
        if (ok && EqualsNoCase(n, u"underline")) info.underline = *flag;
        if (ok && EqualsNoCase(n, u"italic")) info.italic = *flag;
        if (ok && EqualsNoCase(n, u"default")) isDefault = *flag;
      } else {
        ok = false;
      }
      if (!ok) Problem("bad font attribute", n + u"=" + v);
    }
    if (!id) {
      Problem("font without a number", info.face);
      return;
    }
    if (info.face.empty()) info.face = u"思源黑体";
    window.fonts.Add(*id, std::move(info), isDefault);
  }

  std::unique_ptr<Control> ReadControl(XmlDocument& doc) {
    const std::u16string kind = doc.ElementName();
    std::unique_ptr<Control> control;
    if (create_) control = create_(kind);
    if (!control) control = CreateStockControl(kind);
    if (!control) {
      Problem("unknown control kind", kind);
      return nullptr;
    }
    for (const XmlAttribute& a : CurrentElementAttributes(doc))
      control->SetAttribute(a.first, a.second);

    auto* container = dynamic_cast<Container*>(control.get());
    auto* combo = dynamic_cast<Combo*>(control.get());
    doc.RewindChild();
    while (doc.NextChild()) {
      doc.Descend();
      const std::u16string childKind = doc.ElementName();
      if (combo && EqualsNoCase(childKind, u"ListLabelElement")) {
        ReadComboItem(doc, *combo);
      } else if (container) {
        if (std::unique_ptr<Control> child = ReadControl(doc)) container->Add(std::move(child));
      } else {
        Problem("children of a control that holds none", childKind);
      }
      doc.Ascend();
    }
    return control;
  }

  void ReadComboItem(XmlDocument& doc, Combo& combo) {
    std::u16string text;
    int height = 32;
    bool selected = false;
    for (const XmlAttribute& a : CurrentElementAttributes(doc)) {
      if (EqualsNoCase(a.first, u"text")) {
        text = a.second;
      } else if (EqualsNoCase(a.first, u"height")) {
        std::optional<int> h = ParseInt(a.second);
        if (h && *h > 0)
          height = *h;
        else
          Problem("bad item height", a.second);
      } else if (EqualsNoCase(a.first, u"selected")) {
        selected = ParseBool(a.second).value_or(false);
      }
    }
    const int index = combo.AddItem(std::move(text), height);
    if (selected) combo.SelectItem(index);
  }

  std::string document_;
  const ControlCreator& create_;
  int problems_ = 0;
};

}  // namespace

std::unique_ptr<Control> CreateStockControl(std::u16string_view kind) {
  struct Entry {
    const char16_t* name;
    std::unique_ptr<Control> (*make)();
  };
  static const Entry kKinds[] = {
      {u"Control", [] { return std::unique_ptr<Control>(new Control); }},
      {u"Container", [] { return std::unique_ptr<Control>(new Container); }},
      {u"VerticalLayout", [] { return std::unique_ptr<Control>(new VerticalLayout); }},
      {u"HorizontalLayout", [] { return std::unique_ptr<Control>(new HorizontalLayout); }},
      {u"Label", [] { return std::unique_ptr<Control>(new Label); }},
      {u"Text", [] { return std::unique_ptr<Control>(new Label); }},
      {u"Button", [] { return std::unique_ptr<Control>(new Button); }},
      {u"CheckBox", [] { return std::unique_ptr<Control>(new CheckBox); }},
      {u"Option", [] { return std::unique_ptr<Control>(new CheckBox); }},
      {u"Combo", [] { return std::unique_ptr<Control>(new Combo); }},
      {u"Edit", [] { return std::unique_ptr<Control>(new Edit); }},
      {u"RichEdit", [] { return std::unique_ptr<Control>(new RichEdit); }},
      {u"Progress", [] { return std::unique_ptr<Control>(new Progress); }},
      {u"WebBrowser", [] { return std::unique_ptr<Control>(new WebViewSlot); }},
      {u"WebBrowserEx", [] { return std::unique_ptr<Control>(new WebViewSlot); }},
  };
  for (const Entry& e : kKinds)
    if (EqualsNoCase(kind, e.name)) return e.make();
  return nullptr;
}

bool ApplyWindowAttribute(WindowSkin& w, std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  if (is(u"size")) {
    std::optional<Size> v = ParseSize(value);
    if (v) w.size = *v;
    return v.has_value();
  }
  if (is(u"caption")) {
    std::optional<Rect> v = ParseRect(value);
    if (v) w.caption = *v;
    return v.has_value();
  }
  if (is(u"mininfo") || is(u"maxinfo")) {
    std::optional<Size> v = ParseSize(value);
    if (v) (is(u"mininfo") ? w.minSize : w.maxSize) = *v;
    return v.has_value();
  }
  if (is(u"bkcolor") || is(u"defaultfontcolor") || is(u"disabledfontcolor") ||
      is(u"linkfontcolor") || is(u"shadowcolor")) {
    std::optional<Color> v = ParseColor(value);
    if (!v) return false;
    if (is(u"bkcolor")) w.bkColor = *v;
    if (is(u"defaultfontcolor")) w.defaultTextColor = *v;
    if (is(u"disabledfontcolor")) w.disabledTextColor = *v;
    if (is(u"linkfontcolor")) w.linkTextColor = *v;
    if (is(u"shadowcolor")) w.shadow.color = *v;
    return true;
  }
  if (is(u"layered") || is(u"bktrans") || is(u"showshadow") || is(u"shadowsharp")) {
    std::optional<bool> v = ParseBool(value);
    if (!v) return false;
    if (is(u"layered") || is(u"bktrans")) w.layered = *v;
    if (is(u"showshadow")) w.shadow.enabled = *v;
    if (is(u"shadowsharp")) w.shadow.sharpCorners = *v;
    return true;
  }
  if (is(u"opacity") || is(u"alpha") || is(u"shadowdarkness") || is(u"shadowsize")) {
    std::optional<int> v = ParseInt(value);
    if (!v || *v < 0 || *v > 255) return false;
    if (is(u"opacity") || is(u"alpha")) w.opacity = *v;
    if (is(u"shadowdarkness")) w.shadow.darkness = *v;
    if (is(u"shadowsize")) w.shadow.size = *v;
    return true;
  }
  if (is(u"shadowposition")) {
    std::optional<Point> v = ParsePoint(value);
    if (v) w.shadow.offset = *v;
    return v.has_value();
  }
  return false;
}

std::optional<BuiltSkin> BuildSkin(std::u16string_view xml, std::string_view documentName,
                                   const ControlCreator& create) {
  XmlDocument doc;
  if (xml.empty() || !doc.LoadText(xml)) {
    NUV_LOG(1, "[ERROR] skin %.*s: not a well-formed document (%s)",
            static_cast<int>(documentName.size()), documentName.data(),
            WideToUtf8(doc.ResultMessage()).c_str());
    return std::nullopt;
  }
  doc.Rewind();
  if (!doc.NextElement() || !EqualsNoCase(doc.ElementName(), u"Window")) {
    NUV_LOG(1, "[ERROR] skin %.*s: the root element is not <Window>",
            static_cast<int>(documentName.size()), documentName.data());
    return std::nullopt;
  }
  BuiltSkin out;
  Builder builder(documentName, create);
  builder.ReadWindow(doc, out);
  out.problems = builder.Problems();
  return out;
}

}  // namespace SkinUI
