#pragma once

#include <QString>

// What the editor remembers between starts lives in one INI file in the user's configuration
// folder (under QStandardPaths' test mode, a folder of its own, so tests never touch the user's).
namespace vardo {

QString settingsFilePath();

} // namespace vardo
