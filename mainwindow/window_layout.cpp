#include "mainwindow/window_layout.h"

#include <algorithm>

namespace quillo::gui {

WindowLengths RestoreWindowSize(WindowLengths designed, WindowLengths stored, const SizeLimits& limits) {
    WindowLengths size = designed;
    if (stored.Height >= limits.MinHeight && stored.Height <= limits.MaxHeight && stored.Height > 0)
        size.Height = stored.Height;
    else if (size.Height > limits.MaxHeight)
        size.Height = limits.MaxHeight;
    if (stored.Width > 0 && stored.Width <= limits.MaxWidth)
        size.Width = stored.Width;
    else if (size.Width > limits.MaxWidth)
        size.Width = limits.MaxWidth;
    return size;
}

WindowLengths AtLeastMinimum(WindowLengths size, const SizeLimits& limits) {
    size.Height = std::max(size.Height, limits.MinHeight);
    size.Width = std::max(size.Width, limits.MinWidth);
    return size;
}

}  // namespace quillo::gui
