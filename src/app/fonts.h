#pragma once

#include <QFont>
#include <QString>

namespace vardo {

// Makes the Windows faces the window names available: the Wine faces are registered with the
// application, the others are substituted by free look-alikes. Call once after QApplication.
void registerWindowsFonts();

// A font by its Windows family name and character height in pixels.
QFont windowsFont(const QString &family, int pixelHeight, bool bold = false);

} // namespace vardo
