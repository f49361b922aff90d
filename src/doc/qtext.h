#pragma once

#include "core/text/textmodel.h"

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

// Conversions between Qt strings and the toolkit-free text of the program.
namespace vardo {

// A file-system byte string as text for the screen; bytes that are not UTF-8 show as U+FFFD.
inline QString displayText(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// A file-system byte string as a tab or button caption: an '&' in it is shown, not taken as
// the mark of an access key.
inline QString captionText(const std::string &bytes)
{
    return displayText(bytes).replace(u'&', QStringLiteral("&&"));
}

inline std::u16string_view u16view(const QString &s)
{
    return {reinterpret_cast<const char16_t *>(s.utf16()), static_cast<std::size_t>(s.size())};
}

inline QString fromU16(std::u16string_view s)
{
    return QString(reinterpret_cast<const QChar *>(s.data()), static_cast<qsizetype>(s.size()));
}

// An editor's raw text with a line feed between its lines.
inline QString withLineFeeds(QString raw)
{
    return raw.replace(QChar(text::kParagraphSeparator), u'\n');
}

} // namespace vardo
