#include "settings/settings.h"

#include <QStandardPaths>

namespace vardo {

QString settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vardo/vardo.ini");
}

} // namespace vardo
