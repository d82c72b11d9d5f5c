#include "updater/pages/PageLayout.h"

namespace pagelayout {

int ScaleForDpi(int pixels, int dpi) {
    if (dpi <= 0) return pixels;
    const long long scaled = static_cast<long long>(pixels) * dpi;
    const long long half = kDesignDpi / 2;
    const long long rounded =
        scaled >= 0 ? (scaled + half) / kDesignDpi : -((-scaled + half) / kDesignDpi);
    return static_cast<int>(rounded);
}

Size PageArea(int dpi, Size templates) {
    Size area;
    area.width = ScaleForDpi(kPageAreaWidth, dpi);
    area.height = ScaleForDpi(kPageAreaHeight, dpi);
    if (templates.width > area.width) area.width = templates.width;
    if (templates.height > area.height) area.height = templates.height;
    return area;
}

Rect CentredIn(const Rect& area, Size size, const Rect& bounds) {
    int left = area.left + ((area.right - area.left) - size.width) / 2;
    int top = area.top + ((area.bottom - area.top) - size.height) / 2;
    if (left + size.width > bounds.right) left = bounds.right - size.width;
    if (top + size.height > bounds.bottom) top = bounds.bottom - size.height;
    if (left < bounds.left) left = bounds.left;
    if (top < bounds.top) top = bounds.top;
    return Rect{left, top, left + size.width, top + size.height};
}

}  // namespace pagelayout
