#include "settings/settings.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>

namespace vardo {

namespace {

// The longest list read back: a file edited by hand cannot make the editor read without end.
constexpr qsizetype kMostListEntries = 1000;

// A path is stored as text when it is UTF-8, readable in the file, else as its bytes.
QVariant storedPath(const std::string &path)
{
    const QByteArray bytes = QByteArray::fromStdString(path);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return bytes;
    return text;
}

std::string pathOf(const QVariant &stored)
{
    const int type = stored.metaType().id();
    if (type == QMetaType::QByteArray)
        return stored.toByteArray().toStdString();
    if (type == QMetaType::QString)
        return stored.toString().toStdString();
    return {};
}

// Whether a file's text can be an INI file that the settings may rewrite: the toolkit reads
// some garbage without a complaint and then writes over it. Every line is blank, a comment, a
// [section] or a key=value, in UTF-8 without control characters but tabs.
bool looksLikeSettings(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (std::ranges::any_of(line, [](QChar c) { return c.unicode() < 0x20 && c != u'\t'; }))
            return false;
        const bool fits = line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#') || line.contains(u'=') ||
                          (line.startsWith(u'[') && line.endsWith(u']'));
        if (!fits)
            return false;
    }
    return true;
}

QSettings::Status statusOf(const QSettings &settings, const QString &path)
{
    if (settings.status() != QSettings::NoError)
        return settings.status();
    QFile file(path);
    if (!file.exists())
        return QSettings::NoError;
    if (!file.open(QIODevice::ReadOnly))
        return QSettings::AccessError;
    return looksLikeSettings(file.readAll()) ? QSettings::NoError : QSettings::FormatError;
}

QString describe(QSettings::Status status)
{
    switch (status) {
    case QSettings::AccessError:
        return QStringLiteral("cannot be read or written");
    case QSettings::FormatError:
        return QStringLiteral("is not a settings file");
    default:
        return {};
    }
}

} // namespace

QString settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vardo/vardo.ini");
}

Settings::Settings(const QString &path)
    : path_(path), file_(path, QSettings::IniFormat)
{
    const QSettings::Status status = statusOf(file_, path);
    used_ = status == QSettings::NoError;
    if (!used_)
        problem_ = QStringLiteral("The settings file %1 %2: the editor starts without it and leaves it as it is.")
                       .arg(path, describe(status));
}

QVariant Settings::value(const QString &key) const
{
    if (used_)
        return file_.value(key);
    const auto found = memory_.find(key);
    return found == memory_.end() ? QVariant() : found->second;
}

void Settings::setValue(const QString &key, const QVariant &value)
{
    if (used_)
        file_.setValue(key, value);
    else
        memory_[key] = value;
}

QByteArray Settings::bytes(const QString &key) const
{
    const QVariant stored = value(key);
    return stored.metaType().id() == QMetaType::QByteArray ? stored.toByteArray() : QByteArray();
}

void Settings::setBytes(const QString &key, const QByteArray &value)
{
    setValue(key, value);
}

QString Settings::text(const QString &key) const
{
    const QVariant stored = value(key);
    return stored.metaType().id() == QMetaType::QString ? stored.toString() : QString();
}

void Settings::setText(const QString &key, const QString &value)
{
    setValue(key, value);
}

void Settings::remove(const QString &key)
{
    if (used_)
        file_.remove(key);
    const QString group = key + u'/';
    std::erase_if(memory_, [&](const auto &entry) { return entry.first == key || entry.first.startsWith(group); });
}

std::string Settings::path(const QString &key) const
{
    return pathOf(value(key));
}

void Settings::setPath(const QString &key, const std::string &path)
{
    setValue(key, storedPath(path));
}

// Lists go one entry to a key, where a path keeps its bytes as a single value does.
std::vector<std::string> Settings::pathList(const QString &key) const
{
    std::vector<std::string> paths;
    const qsizetype count = value(key + QStringLiteral("/size")).toInt();
    for (qsizetype i = 1; i <= std::min<qsizetype>(count, kMostListEntries); ++i) {
        if (std::string path = this->path(QStringLiteral("%1/%2").arg(key).arg(i)); !path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

void Settings::setPathList(const QString &key, const std::vector<std::string> &paths)
{
    const qsizetype count = std::min<qsizetype>(static_cast<qsizetype>(paths.size()), kMostListEntries);
    for (qsizetype i = 0; i < count; ++i)
        setPath(QStringLiteral("%1/%2").arg(key).arg(i + 1), paths[static_cast<std::size_t>(i)]);
    setValue(key + QStringLiteral("/size"), count);
}

QString Settings::untoldProblem()
{
    if (problemTold_ || problem_.isEmpty())
        return {};
    problemTold_ = true;
    return problem_;
}

void Settings::save()
{
    if (!used_ || !problem_.isEmpty())
        return;
    file_.sync();
    if (file_.status() != QSettings::NoError)
        problem_ = QStringLiteral("The settings file %1 %2: what the editor remembers is not saved.")
                       .arg(path_, describe(file_.status()));
}

std::vector<std::string> withFirst(std::vector<std::string> places, const std::string &place, std::size_t most)
{
    std::erase(places, place);
    places.insert(places.begin(), place);
    if (places.size() > most)
        places.resize(most);
    return places;
}

} // namespace vardo
