#include "toolkit/render/font_config.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <string>
#include <vector>

#include "log/simple_log.h"

namespace SkinUI {

namespace {

// Aliases of the private configuration: each name the skins use, and the generic families, is
// matched by the one face we ship with.
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>思源黑体</family><prefer><family>Noto Sans CJK SC</family></prefer></alias>
  <alias binding="same"><family>Source Han Sans SC</family><prefer><family>Noto Sans CJK SC</family></prefer></alias>
  <alias binding="same"><family>Segoe UI</family><prefer><family>Noto Sans CJK SC</family></prefer></alias>
  <alias binding="same"><family>sans-serif</family><prefer><family>Noto Sans CJK SC</family></prefer></alias>
  <alias binding="same"><family>sans</family><prefer><family>Noto Sans CJK SC</family></prefer></alias>
  <match target="pattern">
    <edit name="family" mode="append_last"><string>Noto Sans CJK SC</string></edit>
  </match>
</fontconfig>
)";

// The files of the UI face as the system's configuration knows them.
std::vector<std::string> UiFaceFiles() {
  std::vector<std::string> files;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kUiFace));
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* file = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch) {
        std::string path(reinterpret_cast<const char*>(file));
        bool seen = false;
        for (const std::string& f : files) seen = seen || f == path;
        if (!seen) files.push_back(path);
      }
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return files;
}

FcConfig* MakeConfig() {
  FcInit();
  const std::vector<std::string> files = UiFaceFiles();
  FcConfig* config = nullptr;
  if (!files.empty()) {
    config = FcConfigCreate();
    for (const std::string& file : files)
      FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str()));
  } else {
    // Without the face, the system's fonts with our aliases: texts still draw, widths differ.
    NUV_LOG(2, "[WARN] toolkit: font %s is not installed; using the system fonts", kUiFace);
    config = FcInitLoadConfigAndFonts();
  }
  if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kAliases), FcTrue))
    NUV_LOG(2, "[WARN] toolkit: font aliases not loaded");
  FcConfigBuildFonts(config);
  return config;
}

}  // namespace

std::mutex& TextLock() {
  static std::mutex lock;  // guards every Pango call of the toolkit
  return lock;
}

PangoFontMap* SharedFontMap() {
  // Released at exit with the fonts it loaded, so leak checkers see nothing left behind.
  struct Holder {
    PangoFontMap* map = nullptr;
    Holder() {
      // Our configuration first: a new font map starts a thread that initialises fontconfig,
      // which must find it done rather than race with us.
      FcConfig* config = MakeConfig();
      map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
      if (!map) map = pango_cairo_font_map_new();
      if (PANGO_IS_FC_FONT_MAP(map)) pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
      FcConfigDestroy(config);  // the map holds its own reference
    }
    ~Holder() {
      if (PANGO_IS_FC_FONT_MAP(map)) pango_fc_font_map_shutdown(PANGO_FC_FONT_MAP(map));
      g_object_unref(map);
    }
  };
  static Holder holder;
  return holder.map;
}

PangoContext* NewTextContext() {
  PangoContext* context = pango_font_map_create_context(SharedFontMap());
  pango_context_set_language(context, pango_language_from_string("zh-cn"));
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 96.0);
  pango_context_set_round_glyph_positions(context, FALSE);
  return context;
}

}  // namespace SkinUI

// Fontconfig keeps what it parsed of the font files (character sets) for the life of the
// process, whatever is released at exit; LeakSanitizer would report it at the end of every
// program that drew a text.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
