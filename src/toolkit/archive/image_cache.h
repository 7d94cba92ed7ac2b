// Decoded skin images, by image notation and scale. Files come from the skin source (a 2x file
// under "2x/" when the scale is 2, else the 1x file), "res='N' restype='T'" images from the
// program's resources (type T, or T + "2X" for the 2x picture). A missing image, or one that is
// not a PNG, is logged once and then drawn as nothing.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/host/host.h"
#include "toolkit/skin/image_spec.h"

typedef struct _cairo_surface cairo_surface_t;

namespace SkinUI {

class SkinResources;

struct SkinImage {
  cairo_surface_t* surface = nullptr;  // ARGB32, premultiplied
  int scale = 1;                       // device pixels per logical pixel of this picture
  int width = 0;                       // device pixels
  int height = 0;
  SkinImage() = default;
  SkinImage(const SkinImage&) = delete;
  SkinImage& operator=(const SkinImage&) = delete;
  ~SkinImage();
};

// A PNG's picture, or nullptr when the bytes are not a PNG cairo can read.
std::shared_ptr<SkinImage> DecodePng(std::string_view bytes);

class ImageCache {
 public:
  explicit ImageCache(SkinResources* resources = nullptr);  // null: SkinResources::Get()

  // The parsed notation (nullptr when malformed, logged once) and its picture (nullptr when
  // missing). Thread-safe.
  const ImageSpec* Spec(std::u16string_view notation);
  std::shared_ptr<const SkinImage> Get(const ImageSpec& spec, int scale);
  // The picture already drawn as its nine-patch at a destination size (logical pixels), with
  // the device scale set, so painting it is a plain copy; nullptr when the picture is missing.
  // Stretching a large picture on every paint is what a redraw would otherwise spend its time on.
  std::shared_ptr<const SkinImage> Rendered(const ImageSpec& spec, Size size, int scale);
  void Clear();

 private:
  SkinResources* resources_;
  std::mutex lock_;  // guards both maps
  std::map<std::u16string, std::optional<ImageSpec>, std::less<>> specs_;
  std::map<std::string, std::shared_ptr<const SkinImage>> images_;  // null for a failed one
  std::map<std::string, std::shared_ptr<const SkinImage>> rendered_;
};

// Where "res='N' restype='T'" images come from: the program's resource table unless replaced
// (tests give a fixed picture for every resource). Set before windows exist; empty restores.
using ImageResourceLoader =
    std::function<std::optional<std::string>(const std::string& type, int id)>;
void SetImageResourceLoader(ImageResourceLoader loader);

// The images of an icon group resource ("ICON" N: a zip of icon_<size>.png), largest last.
std::vector<IconImage> LoadIconGroup(int id);

}  // namespace SkinUI
