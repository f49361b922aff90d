#include "app/windowplacement.h"

#include <algorithm>

namespace vardo {

namespace {

// The start of a span of `length` moved as little as possible to lie within [low, high); a
// span longer than the range starts at its low end.
int clampedStart(int start, int length, int low, int high)
{
    return std::max(low, std::min(start, high - length));
}

} // namespace

QRect placeOnScreen(const QRect &design, const QSize &minimum, const QRect &available)
{
    const QSize size = design.size().boundedTo(available.size()).expandedTo(minimum);
    const int left = clampedStart(design.left(), size.width(), available.left(), available.left() + available.width());
    const int top = clampedStart(design.top(), size.height(), available.top(), available.top() + available.height());
    return {QPoint(left, top), size};
}

} // namespace vardo
