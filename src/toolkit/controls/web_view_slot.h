// WebViewSlot: the place of an embedded web view in a skin (kind "WebBrowserEx" in the shipped
// skin, "WebBrowser" too). The toolkit draws nothing there; the window's control-creation
// callback (WindowBase::CreateControl) returns a subclass that makes the real view and hands its
// native widget to SetNativeChild, and the window host keeps that widget at the control's
// rectangle and visibility. Without a subclass the slot only records what was asked of it.
#pragma once

#include <string>
#include <vector>

#include "toolkit/controls/control.h"

namespace SkinUI {

class WebViewSlot : public Control {
 public:
  WebViewSlot();
  std::u16string_view GetClass() const override { return u"WebBrowser"; }
  void* GetInterface(std::u16string_view name) override;

  // Navigation. The base keeps the address as the current page.
  virtual void Navigate(const std::u16string& url);
  void SetHomePage(std::u16string url) { homePage_ = std::move(url); }
  const std::u16string& GetHomePage() const { return homePage_; }
  void NavigateHomePage() { Navigate(homePage_); }
  const std::u16string& CurrentUrl() const { return currentUrl_; }
  // Calls a script function of the loaded document; false when it could not be called (the
  // base has no document).
  virtual bool CallScript(const std::u16string& function, const std::vector<std::u16string>& args);

  // The host's native widget of the view (a GtkWidget* in the GTK host), or nullptr. The host
  // reparents it into the window and keeps it at GetPos() while the slot is shown.
  void* GetNativeChild() const { return nativeChild_; }
  void SetNativeChild(void* widget);

  void SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void SetVisible(bool visible) override;
  void SetPos(const Rect& absolute) override;

 protected:
  std::u16string homePage_;
  std::u16string currentUrl_;
  std::u16string clsid_;
  void* nativeChild_ = nullptr;
};

}  // namespace SkinUI
