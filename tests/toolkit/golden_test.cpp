// Off-screen renders of the five windows, compared with the pictures in
// tests/fixtures/toolkit_golden/ (regenerate with scripts/update_toolkit_goldens.sh). The skin is
// the shipped documents with placeholder pictures, so only the toolkit's drawing is judged.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "skin_fixture.h"
#include "support/temp_dir.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/host/offscreen/offscreen_host.h"

namespace {

using skin_fixture::RecordingWindow;
using SkinUI::OffscreenHost;

const std::string kGoldenDir = NUV_SOURCE_DIR "/tests/fixtures/toolkit_golden/";

// A pixel counts as different when a channel is further off than this; fonts may round
// differently between library versions, so a few such pixels are allowed.
constexpr int kChannelTolerance = 40;
constexpr double kDifferentShare = 0.004;

struct Comparison {
  bool sameSize = false;
  double differentShare = 1;
};

Comparison Compare(const std::string& actualPng, const std::string& goldenPng) {
  Comparison result;
  cairo_surface_t* a = cairo_image_surface_create_from_png(actualPng.c_str());
  cairo_surface_t* b = cairo_image_surface_create_from_png(goldenPng.c_str());
  if (cairo_surface_status(a) == CAIRO_STATUS_SUCCESS &&
      cairo_surface_status(b) == CAIRO_STATUS_SUCCESS &&
      cairo_image_surface_get_width(a) == cairo_image_surface_get_width(b) &&
      cairo_image_surface_get_height(a) == cairo_image_surface_get_height(b)) {
    result.sameSize = true;
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    const int sa = cairo_image_surface_get_stride(a), sb = cairo_image_surface_get_stride(b);
    const unsigned char* pa = cairo_image_surface_get_data(a);
    const unsigned char* pb = cairo_image_surface_get_data(b);
    long different = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c)
          if (std::abs(pa[y * sa + x * 4 + c] - pb[y * sb + x * 4 + c]) > kChannelTolerance) {
            ++different;
            break;
          }
    result.differentShare = static_cast<double>(different) / (static_cast<double>(w) * h);
  }
  cairo_surface_destroy(a);
  cairo_surface_destroy(b);
  return result;
}

struct GoldenCase {
  const char16_t* skin;
  const char* golden;
  int scale;
  int width;
  int height;
};

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, RenderMatchesGolden) {
  const GoldenCase& c = GetParam();
  TempDir dir;
  skin_fixture::WriteFixtureSkin(dir.Path());
  skin_fixture::UsePlaceholderResources();
  SkinUI::SkinResources::Get().SetFolder(dir.Path());
  auto owned = std::make_unique<OffscreenHost>(c.scale);
  OffscreenHost* host = owned.get();
  SkinUI::SetHost(std::move(owned));

  RecordingWindow window(u"golden", c.skin);
  ASSERT_NE(window.Create(nullptr, u"Capturo"), 0u);
  window.Show();
  EXPECT_EQ(window.GetClientSize().cx, c.width);
  EXPECT_EQ(window.GetClientSize().cy, c.height);
  const std::string actual = dir.File("actual.png");
  ASSERT_TRUE(host->Snapshot(actual, u"golden"));

  const std::string golden = kGoldenDir + c.golden;
  if (std::getenv("NUV_UPDATE_GOLDENS")) {
    std::filesystem::create_directories(kGoldenDir);
    std::filesystem::copy_file(actual, golden, std::filesystem::copy_options::overwrite_existing);
    GTEST_SKIP() << "wrote " << golden;
  }
  ASSERT_TRUE(std::filesystem::exists(golden)) << "no golden " << golden;
  const Comparison cmp = Compare(actual, golden);
  EXPECT_TRUE(cmp.sameSize);
  EXPECT_LE(cmp.differentShare, kDifferentShare)
      << c.golden << ": " << cmp.differentShare * 100 << "% of the pixels differ; look at "
      << actual << " (kept)";
  if (HasFailure()) {
    const std::string kept =
        std::filesystem::temp_directory_path() / ("failed-" + std::string(c.golden));
    std::filesystem::copy_file(actual, kept, std::filesystem::copy_options::overwrite_existing);
  }
  window.Destroy();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, GoldenTest,
    ::testing::Values(GoldenCase{u"skin.xml", "main.png", 1, 600, 400},
                      GoldenCase{u"mask.xml", "mask.png", 1, 600, 330},
                      GoldenCase{u"messagebox.xml", "messagebox.png", 1, 248, 248},
                      GoldenCase{u"privacybox.xml", "privacybox.png", 1, 248, 244},
                      GoldenCase{u"redeembox.xml", "redeembox.png", 1, 288, 344},
                      GoldenCase{u"skin.xml", "main@2x.png", 2, 600, 400}),
    [](const ::testing::TestParamInfo<GoldenCase>& info) {
      std::string name = info.param.golden;
      for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

}  // namespace
