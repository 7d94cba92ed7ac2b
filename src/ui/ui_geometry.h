// Plain rectangles and sizes in client pixels, so that the window's layout rules can be computed
// without a toolkit; the window converts them to its controls' positions.
#pragma once

struct UiSize {
  int width = 0;
  int height = 0;
  bool operator==(const UiSize&) const = default;
};

struct UiPoint {
  int x = 0;
  int y = 0;
  bool operator==(const UiPoint&) const = default;
};

// x, y of the top-left corner and the size (not right and bottom).
struct UiRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const UiRect&) const = default;
};
