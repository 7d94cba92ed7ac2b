// skinshot OUTDIR [--scale 2]: draws the windows of the embedded skin archive off screen and
// writes them as PNG: the main window's four pages, the mask and the three dialogs, each as its
// skin document lays it out (texts are the documents' own; the window code fills the real ones).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/os/resources.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/window/window_base.h"

namespace {

class ShotWindow : public SkinUI::WindowBase {
 public:
  ShotWindow(std::u16string name, std::u16string skin)
      : name_(std::move(name)), skin_(std::move(skin)) {}
  std::u16string ClassName() const override { return name_; }
  std::u16string SkinFile() const override { return skin_; }

 private:
  std::u16string name_;
  std::u16string skin_;
};

struct Page {
  const char* file;
  const char16_t* shown;  // the page layout shown instead of the start page (nullptr: start page)
};

void ShowOnly(SkinUI::WindowBase& w, const char16_t* page) {
  for (const char16_t* name : {u"lay_before", u"lay_download", u"lay_after", u"lay_failed"})
    if (SkinUI::Control* c = w.FindControl(name))
      c->SetVisible(page ? name == std::u16string(page) : name == std::u16string(u"lay_before"));
  if (SkinUI::Control* caption = w.FindControl(u"lay_caption"))
    caption->SetVisible(!page || std::u16string(page) != u"lay_download");
  if (SkinUI::Control* install = w.FindControl(u"btn_install")) install->SetEnabled(true);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  int scale = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc)
      scale = std::atoi(argv[++i]);
    else
      out = argv[i];
  }
  if (out.empty()) {
    std::fprintf(stderr, "usage: skinshot OUTDIR [--scale 2]\n");
    return 2;
  }
  std::filesystem::create_directories(out);
  std::optional<std::string> zip = nuv::os::LoadResource("ZIPRES", 133);
  if (!zip || !SkinUI::SkinResources::Get().SetResourceZip(std::move(*zip))) {
    std::fprintf(stderr, "skinshot: no skin archive in this build\n");
    return 1;
  }
  auto owned = std::make_unique<SkinUI::OffscreenHost>(scale);
  SkinUI::OffscreenHost* host = owned.get();
  SkinUI::SetHost(std::move(owned));
  const std::string suffix = scale >= 2 ? "@2x.png" : ".png";
  int written = 0;

  const Page pages[] = {{"main-before", nullptr},
                        {"main-download", u"lay_download"},
                        {"main-after", u"lay_after"},
                        {"main-failed", u"lay_failed"}};
  for (const Page& page : pages) {
    ShotWindow w(u"NUV", u"skin.xml");
    if (!w.Create(nullptr, u"Capturo")) continue;
    ShowOnly(w, page.shown);
    w.Show();
    const std::string path = out + "/" + page.file + suffix;
    if (host->Snapshot(path, u"NUV")) ++written, std::printf("%s\n", path.c_str());
    w.Destroy();
  }
  for (const char* doc : {"mask", "messagebox", "privacybox", "redeembox"}) {
    const std::u16string name(doc, doc + std::strlen(doc));
    ShotWindow w(name, name + u".xml");
    if (!w.Create(nullptr, name)) continue;
    if (SkinUI::Control* ok = w.FindControl(u"btn_ok"); ok && name == u"messagebox") {
      ok->SetVisible(true);  // as a question box shows it
      if (SkinUI::Control* cancel = w.FindControl(u"btn_cancel")) cancel->SetVisible(true);
    }
    w.Show();
    const std::string path = out + "/" + doc + suffix;
    if (host->Snapshot(path, name)) ++written, std::printf("%s\n", path.c_str());
    w.Destroy();
  }
  return written == 8 ? 0 : 1;
}
