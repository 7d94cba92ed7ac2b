// Drawing cost of the main window: a full redraw of the download page and the redraw of one
// progress change (only the bar's dirty rectangle), at scale 1 and 2. Median and worst of many
// runs, in microseconds. Uses the skin archive embedded in this build.
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/resources.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/controls/progress.h"
#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/window/window_base.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWarmUp = 200;
constexpr int kRuns = 3000;

class MainWindow : public SkinUI::WindowBase {
 public:
  std::u16string ClassName() const override { return u"NUV"; }
  std::u16string SkinFile() const override { return u"skin.xml"; }
};

struct Stats {
  double median = 0;
  double worst = 0;
};

template <class F>
Stats Measure(F&& run) {
  for (int i = 0; i < kWarmUp; ++i) run(i);
  std::vector<double> us;
  us.reserve(kRuns);
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    run(i);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us.back()};
}

void Bench(int scale) {
  auto host = std::make_unique<SkinUI::OffscreenHost>(scale);
  SkinUI::SetHost(std::move(host));
  MainWindow window;
  window.Create(nullptr, u"Capturo");
  window.FindControl(u"lay_before")->SetVisible(false);
  window.FindControl(u"lay_caption")->SetVisible(false);
  window.FindControl(u"lay_download")->SetVisible(true);
  auto* progress = window.Find<SkinUI::Progress>(u"progress_download");
  SkinUI::PaintManager& pm = window.Manager();
  const SkinUI::Size size = window.GetClientSize();
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx * scale, size.cy * scale);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  pm.LayoutIfNeeded();

  const Stats full = Measure([&](int) { pm.Render(cr, {0, 0, size.cx, size.cy}); });
  pm.TakeDirtyRect();
  const Stats tick = Measure([&](int i) {
    progress->SetValue(1 + i % 99);
    pm.Render(cr, pm.TakeDirtyRect());
  });
  std::printf("scale %d  full redraw %4dx%d   median %8.1f us  worst %8.1f us\n", scale, size.cx,
              size.cy, full.median, full.worst);
  std::printf("scale %d  progress tick             median %8.1f us  worst %8.1f us\n", scale,
              tick.median, tick.worst);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  window.Destroy();
}

}  // namespace

int main() {
  std::optional<std::string> zip = nuv::os::LoadResource("ZIPRES", 133);
  if (!zip || !SkinUI::SkinResources::Get().SetResourceZip(std::move(*zip))) {
    std::fprintf(stderr, "bench_ui: no skin archive in this build\n");
    return 1;
  }
  const bool art = nuv::os::LoadResource("PNG", 136).has_value();
  std::printf("main window, download page, %s artwork, %d runs each\n", art ? "with" : "WITHOUT",
              kRuns);
  Bench(1);
  Bench(2);
  return 0;
}
