#include "toolkit/controls/web_view_slot.h"

#include "toolkit/paint/paint_manager.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

WebViewSlot::WebViewSlot() {
  mouseEnabled_ = true;
}

void* WebViewSlot::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"WebBrowser") || EqualsNoCase(name, u"WebBrowserEx")
             ? this
             : Control::GetInterface(name);
}

void WebViewSlot::Navigate(const std::u16string& url) {
  currentUrl_ = url;
}

bool WebViewSlot::CallScript(const std::u16string&, const std::vector<std::u16string>&) {
  return false;
}

void WebViewSlot::SetNativeChild(void* widget) {
  nativeChild_ = widget;
  NeedParentUpdate();
}

void WebViewSlot::SetAttribute(std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  if (is(u"clsid")) {
    clsid_ = std::u16string(value);
    return;
  }
  if (is(u"homepage")) return SetHomePage(std::u16string(value));
  if (is(u"delaycreate") || is(u"autonavi")) {
    if (!ParseBool(value)) ReportAttribute(name, value, true);
    return;
  }
  Control::SetAttribute(name, value);
}

void WebViewSlot::SetVisible(bool visible) {
  Control::SetVisible(visible);
  // The host moves and shows native children after each layout.
  NeedParentUpdate();
}

void WebViewSlot::SetPos(const Rect& absolute) {
  Control::SetPos(absolute);
}

}  // namespace SkinUI
