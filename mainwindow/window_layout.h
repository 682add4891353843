#pragma once
// The window's size rules: lengths in twips as the option store keeps them,
// the screen's density, and the stored size restored within the work area.
#include <cstdint>

namespace quillo::gui {

struct SizeLimits {
    int32_t MinHeight = 0;  // twips
    int32_t MinWidth = 0;
    int32_t MaxHeight = 0;  // the work area
    int32_t MaxWidth = 0;
};

// The window size after restoring the stored "Height" and "Width" (twips, 0 =
// never stored) over the designed size: a stored height is used only between
// the minimum and the work area, a stored width only when non-zero and within
// the work area; otherwise the designed length, shrunk to the work area.
struct WindowLengths {
    int32_t Height = 0;
    int32_t Width = 0;
};
WindowLengths RestoreWindowSize(WindowLengths designed, WindowLengths stored, const SizeLimits& limits);

// Arrange's first step: never smaller than the minimum.
WindowLengths AtLeastMinimum(WindowLengths size, const SizeLimits& limits);

}  // namespace quillo::gui
