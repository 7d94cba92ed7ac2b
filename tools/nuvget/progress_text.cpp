#include "progress_text.h"

#include <cstdio>

std::string ProgressPercent(int64_t downloaded, int64_t total) {
  int64_t tenths = 0;
  if (total > 0 && downloaded > 0) {
    // Tenths of a percent without the product overflowing for any file size.
    tenths = downloaded >= total ? 1000
                                 : static_cast<int64_t>(static_cast<long double>(downloaded) *
                                                        1000 / static_cast<long double>(total));
    if (tenths >= 1000 && downloaded < total) tenths = 999;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%lld.%lld%%", static_cast<long long>(tenths / 10),
                static_cast<long long>(tenths % 10));
  return text;
}
