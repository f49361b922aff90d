#pragma once

#include <QFont>
#include <QString>

namespace vardo {

// Makes the Windows faces the window names available: the Wine faces are registered with the
// application, the others are substituted by free look-alikes. Call once after QApplication.
void registerWindowsFonts();

// A font by its Windows family name and character height in pixels. On a screen scaled to
// anything but 1, a face that would be drawn from 1x bitmaps or with a synthesized bold is
// replaced by its scalable stand-in.
QFont windowsFont(const QString &family, int pixelHeight, bool bold = false);

// Whether a face can be drawn crisply at any scale: it has outlines, and a real bold face
// when bold is asked for.
bool scalesCleanly(const QFont &font);

// A scalable face whose line height and average character width match those of `font` as
// closely as whole pixel sizes and a horizontal stretch allow.
QFont scalableStandIn(const QFont &font);

// The font at the largest pixel size, up to its own, whose lines fit in `height` pixels: rows
// of a fixed height drawn in a face taller than the one they were designed for.
QFont fittedToHeight(QFont font, int height);

// The average advance of the letters a to z and A to Z: the width that tab stops are measured
// in. The width the bitmap faces report themselves is meaningless.
qreal averageLetterWidth(const QFont &font);

} // namespace vardo
