// The fonts the toolkit draws with: a private fontconfig configuration holding the Noto Sans CJK
// faces, with the skins' face names ("思源黑体", "Segoe UI") and the generic families aliased to
// "Noto Sans CJK SC", and one Pango font map over it. Text then measures the same on every
// machine whatever else is installed and whatever LANG says.
#pragma once

#include <mutex>

typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoContext PangoContext;

namespace SkinUI {

// Pango is not thread-safe: every use of the font map and of contexts made from it holds this.
std::mutex& TextLock();

// The process's font map (made on first use). Hold TextLock.
PangoFontMap* SharedFontMap();

// A new context over the shared map with the language zh-cn and unhinted metrics, so that a
// text measures the same at every scale. Hold TextLock; release with g_object_unref.
PangoContext* NewTextContext();

// The face every skin name maps to.
inline constexpr const char* kUiFace = "Noto Sans CJK SC";

}  // namespace SkinUI
