#pragma once

#include <QRect>

namespace vardo {

// Where a window goes on a screen: its design rectangle where that lies within the available
// area; otherwise shrunk to fit (never below its minimum size), then moved onto the area.
QRect placeOnScreen(const QRect &design, const QSize &minimum, const QRect &available);

} // namespace vardo
