#include "toolkit/archive/image_cache.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "log/simple_log.h"
#include "platform/os/resources.h"
#include "toolkit/archive/skin_archive.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/render/painter.h"
#include "xml/utf.h"

namespace SkinUI {

namespace {

constexpr size_t kMaxRendered = 1024;

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct PngReader {
  std::string_view bytes;
  size_t offset = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<PngReader*>(closure);
  if (reader->bytes.size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes.data() + reader->offset, length);
  reader->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

std::mutex& LoaderLock() {
  static std::mutex lock;  // guards Loader()
  return lock;
}

ImageResourceLoader& Loader() {
  static ImageResourceLoader loader;
  return loader;
}

std::optional<std::string> LoadImageResource(const std::string& type, int id) {
  ImageResourceLoader loader;
  {
    std::lock_guard<std::mutex> hold(LoaderLock());
    loader = Loader();
  }
  return loader ? loader(type, id) : nuv::os::LoadResource(type, id);
}

std::optional<std::string> ReadSource(SkinResources& resources, const ImageSpec& spec, bool twice) {
  if (spec.IsResource()) {
    std::string type = WideToUtf8(spec.resourceType.empty() ? u"PNG" : spec.resourceType);
    if (twice) type += "2X";
    return LoadImageResource(type, spec.resourceId);
  }
  const std::string name = WideToUtf8(spec.file);
  return resources.ReadFile(twice ? "2x/" + name : name);
}

std::string Describe(const ImageSpec& spec) {
  if (spec.IsResource())
    return "resource " + WideToUtf8(spec.resourceType) + " " + std::to_string(spec.resourceId);
  return WideToUtf8(spec.file);
}

}  // namespace

void SetImageResourceLoader(ImageResourceLoader loader) {
  std::lock_guard<std::mutex> hold(LoaderLock());
  Loader() = std::move(loader);
}

SkinImage::~SkinImage() {
  if (surface) cairo_surface_destroy(surface);
}

std::shared_ptr<SkinImage> DecodePng(std::string_view bytes) {
  if (bytes.size() < sizeof(kPngSignature) ||
      std::memcmp(bytes.data(), kPngSignature, sizeof(kPngSignature)) != 0)
    return nullptr;
  PngReader reader{bytes, 0};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  // Every picture is drawn from one format.
  if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
    cairo_surface_t* argb =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(surface),
                                   cairo_image_surface_get_height(surface));
    cairo_t* cr = cairo_create(argb);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    surface = argb;
  }
  auto image = std::make_shared<SkinImage>();
  image->surface = surface;
  image->width = cairo_image_surface_get_width(surface);
  image->height = cairo_image_surface_get_height(surface);
  return image;
}

ImageCache::ImageCache(SkinResources* resources)
    : resources_(resources ? resources : &SkinResources::Get()) {}

const ImageSpec* ImageCache::Spec(std::u16string_view notation) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = specs_.find(notation);
  if (it == specs_.end()) {
    std::optional<ImageSpec> spec = ParseImageSpec(notation);
    if (!spec)
      NUV_LOG(2, "[WARN] skin image notation not understood [%s]", WideToUtf8(notation).c_str());
    it = specs_.emplace(std::u16string(notation), std::move(spec)).first;
  }
  return it->second ? &*it->second : nullptr;
}

std::shared_ptr<const SkinImage> ImageCache::Get(const ImageSpec& spec, int scale) {
  const bool twice = scale >= 2;
  const std::string key = (twice ? "2:" : "1:") + Describe(spec);
  std::lock_guard<std::mutex> hold(lock_);
  auto it = images_.find(key);
  if (it != images_.end()) return it->second;

  std::shared_ptr<SkinImage> image;
  bool found = false;
  if (twice) {
    if (std::optional<std::string> bytes = ReadSource(*resources_, spec, true)) {
      found = true;
      image = DecodePng(*bytes);
      if (image) image->scale = 2;
    }
  }
  if (!image) {
    if (std::optional<std::string> bytes = ReadSource(*resources_, spec, false)) {
      found = true;
      image = DecodePng(*bytes);
    }
  }
  if (!image) {
    if (found)
      NUV_LOG(2, "[WARN] skin image %s is not a PNG", Describe(spec).c_str());
    else
      NUV_LOG(2, "[WARN] skin image %s is missing", Describe(spec).c_str());
  }
  images_[key] = image;
  return image;
}

std::shared_ptr<const SkinImage> ImageCache::Rendered(const ImageSpec& spec, Size size, int scale) {
  if (size.cx <= 0 || size.cy <= 0) return nullptr;
  std::shared_ptr<const SkinImage> image = Get(spec, scale);
  if (!image) return nullptr;
  const Edges& c = spec.corner;
  std::string key = Describe(spec) + "|" + std::to_string(scale) + "|" + std::to_string(size.cx) +
                    "x" + std::to_string(size.cy) + "|" + std::to_string(c.left) + "," +
                    std::to_string(c.top) + "," + std::to_string(c.right) + "," +
                    std::to_string(c.bottom) + "|" + std::to_string(spec.fade);
  if (spec.source)
    key += "|" + std::to_string(spec.source->left) + "," + std::to_string(spec.source->top) + "," +
           std::to_string(spec.source->right) + "," + std::to_string(spec.source->bottom);
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = rendered_.find(key);
    if (it != rendered_.end()) return it->second;
  }
  auto out = std::make_shared<SkinImage>();
  out->scale = scale >= 2 ? 2 : 1;
  out->width = size.cx * out->scale;
  out->height = size.cy * out->scale;
  out->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, out->width, out->height);
  cairo_t* cr = cairo_create(out->surface);
  cairo_scale(cr, out->scale, out->scale);
  ImageSpec whole = spec;
  whole.dest.reset();
  DrawNinePatch(cr, *image, whole, Rect{0, 0, size.cx, size.cy});
  cairo_destroy(cr);
  cairo_surface_set_device_scale(out->surface, out->scale, out->scale);
  std::lock_guard<std::mutex> hold(lock_);
  // Bounded: a progress bar alone makes one entry per width it was drawn at.
  if (rendered_.size() >= kMaxRendered) rendered_.clear();
  rendered_[key] = out;
  return out;
}

void ImageCache::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  images_.clear();
  rendered_.clear();
}

std::vector<IconImage> LoadIconGroup(int id) {
  std::vector<IconImage> icons;
  std::optional<std::string> bytes = nuv::os::LoadResource("ICON", id);
  if (!bytes) return icons;
  std::unique_ptr<SkinArchive> archive = SkinArchive::Open(std::move(*bytes));
  if (!archive) {
    NUV_LOG(2, "[WARN] icon group %d is not an archive", id);
    return icons;
  }
  for (const std::string& name : archive->Names()) {
    if (name.rfind("icon_", 0) != 0) continue;
    std::optional<std::string> png = archive->Read(name);
    std::shared_ptr<SkinImage> image = png ? DecodePng(*png) : nullptr;
    if (!image) continue;
    icons.push_back({image->width, std::move(*png)});
  }
  std::sort(icons.begin(), icons.end(),
            [](const IconImage& a, const IconImage& b) { return a.size < b.size; });
  return icons;
}

}  // namespace SkinUI
