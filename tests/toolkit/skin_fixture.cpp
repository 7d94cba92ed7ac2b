#include "skin_fixture.h"

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <set>

#include "support/temp_dir.h"
#include "toolkit/archive/image_cache.h"
#include "xml/utf.h"

namespace skin_fixture {

namespace {

constexpr double kPi = 3.14159265358979323846;

const char* const kDocuments[] = {"skin.xml",       "mask.xml",      "messagebox.xml",
                                  "privacybox.xml", "redeembox.xml", "selectfolder.xml"};

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void SetColor(cairo_t* cr, SkinUI::Color c) {
  cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                        (c & 0xFF) / 255.0, ((c >> 24) & 0xFF) / 255.0);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  if (r <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// A look per family of names, so that states and kinds differ in the pictures.
void Describe(const std::string& name, int& w, int& h, SkinUI::Color& fill, int& radius) {
  w = 24;
  h = 24;
  radius = 0;
  fill = 0xFFB0B8C8;
  auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
  if (has("btn") && !has("tips")) {
    w = 80;
    h = 40;
    radius = 19;
    fill = has("btn1") ? 0xFF2F7BEA : has("btn2") ? 0xFFE8EAEE : 0xFF1E88E5;
  }
  if (has("cbx") || has("box_") || has("checkbox")) {
    w = h = 16;
    radius = 3;
    fill = has("checked") || has("on-") ? 0xFF1E88E5 : 0xFFFFFFFF;
  }
  if (has("progress")) {
    w = 12;
    h = 6;
    radius = 3;
    fill = has("fore") ? 0xFF1E88E5 : 0xFFE3E6EB;
  }
  if (name == "banner.png") {
    w = 600;
    h = 338;
    fill = 0xFFDCE8F8;
  }
  if (has("folder_bk") || has("dn_cb") || has("select")) {
    w = 40;
    h = 32;
    radius = 4;
    fill = 0xFFFFFFFF;
  }
  if (has("warn") || has("success")) {
    w = h = 56;
    radius = 28;
    fill = has("warn") ? 0xFFF5A623 : 0xFF34C759;
  }
  if (has("info_bg")) {
    w = 64;
    h = 60;
    radius = 8;
    fill = 0xFFFFF1F0;
  }
  if (has("hot") || has("hover"))
    fill = (fill & 0xFF000000) | ((fill & 0x00FEFEFE) >> 1) | 0x00404040;
  if (has("pushed") || has("pressed")) fill = (fill & 0xFF000000) | ((fill & 0x00FEFEFE) >> 1);
  if (has("disabled")) fill = 0xFFC8CCD2;
}

}  // namespace

std::string PlaceholderPng(int width, int height, SkinUI::Color fill, SkinUI::Color border,
                           int radius) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(s);
  RoundedRect(cr, 0.5, 0.5, width - 1, height - 1, radius);
  SetColor(cr, fill);
  cairo_fill_preserve(cr);
  SetColor(cr, border);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_destroy(cr);
  std::string png;
  cairo_surface_write_to_png_stream(s, Append, &png);
  cairo_surface_destroy(s);
  return png;
}

std::vector<std::string> ImageNames() {
  std::set<std::string> names;
  const std::regex png(R"(([A-Za-z0-9_\-]+\.png))");
  for (const char* doc : kDocuments) {
    const std::string text = ReadWholeFile(std::string(NUV_SOURCE_DIR "/resources/skin/") + doc);
    for (std::sregex_iterator it(text.begin(), text.end(), png), end; it != end; ++it)
      names.insert((*it)[1]);
  }
  return {names.begin(), names.end()};
}

void WriteFixtureSkin(const std::string& dir) {
  for (const char* doc : kDocuments)
    std::filesystem::copy_file(std::string(NUV_SOURCE_DIR "/resources/skin/") + doc,
                               dir + "/" + doc, std::filesystem::copy_options::overwrite_existing);
  for (const std::string& name : ImageNames()) {
    int w, h, radius;
    SkinUI::Color fill;
    Describe(name, w, h, fill, radius);
    WriteWholeFile(dir + "/" + name, PlaceholderPng(w, h, fill, 0xFF8A93A6, radius));
  }
}

void UsePlaceholderResources() {
  static const std::string background = PlaceholderPng(640, 400, 0xFFF3F6FB, 0xFFF3F6FB, 0);
  SkinUI::SetImageResourceLoader([](const std::string& type, int) -> std::optional<std::string> {
    if (type == "PNG") return background;
    return std::nullopt;
  });
}

void RecordingWindow::Notify(SkinUI::Notification& n) {
  std::lock_guard<std::mutex> hold(lock_);
  events_.push_back(n.type + ":" + (n.sender ? WideToUtf8(n.sender->GetName()) : ""));
}

bool RecordingWindow::MessageFilter(const SkinUI::Message& key) {
  for (uint32_t k : consumedKeys)
    if (key.wParam == k) {
      std::lock_guard<std::mutex> hold(lock_);
      events_.push_back("filtered:" + std::to_string(k));
      return true;
    }
  return false;
}

int64_t RecordingWindow::HandleMessage(const SkinUI::Message& message, bool& handled) {
  std::lock_guard<std::mutex> hold(lock_);
  messages_.push_back(message);
  handled = message.id >= 0x8000;  // our own numbers; standard ones get the default handling
  return handled ? static_cast<int64_t>(message.wParam) + 1 : 0;
}

std::vector<std::string> RecordingWindow::Events() const {
  std::lock_guard<std::mutex> hold(lock_);
  return events_;
}

void RecordingWindow::ClearEvents() {
  std::lock_guard<std::mutex> hold(lock_);
  events_.clear();
}

std::vector<SkinUI::Message> RecordingWindow::Messages() const {
  std::lock_guard<std::mutex> hold(lock_);
  return messages_;
}

}  // namespace skin_fixture
