#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <map>
#include <string>
#include <vector>

// What the editor remembers between starts lives in one INI file in the user's configuration
// folder (under QStandardPaths' test mode, a folder of its own, so tests never touch the user's).
namespace vardo {

QString settingsFilePath();

// The settings file, read once when made and written on save(). A file that cannot be read or
// is not an INI file is never written: its values stay unused, and what this start sets is kept
// in memory only, so nothing of the user's is lost. Paths keep their exact bytes.
class Settings {
public:
    explicit Settings(const QString &path = settingsFilePath());

    // Why the file's values are not used, or why it could not be written, for the console: once
    // for each problem, empty afterwards and while there is none.
    QString untoldProblem();

    QByteArray bytes(const QString &key) const;
    void setBytes(const QString &key, const QByteArray &value);
    QString text(const QString &key) const;
    void setText(const QString &key, const QString &value);
    // Forgets a key, or a group with all its keys.
    void remove(const QString &key);
    // A path; empty when missing or not a path.
    std::string path(const QString &key) const;
    void setPath(const QString &key, const std::string &path);
    std::vector<std::string> pathList(const QString &key) const;
    void setPathList(const QString &key, const std::vector<std::string> &paths);

    // Writes what was set; a file whose values are not used is left as it is. The reason of a
    // failure goes to untoldProblem().
    void save();

private:
    QVariant value(const QString &key) const;
    void setValue(const QString &key, const QVariant &value);

    QString path_;
    QSettings file_;
    bool used_ = false;
    QString problem_;
    bool problemTold_ = false;
    // What is set while the file's values are not used.
    std::map<QString, QVariant> memory_;
};

// A list of recent places with `place` first: an earlier entry of it is dropped and the list
// kept to `most` entries.
std::vector<std::string> withFirst(std::vector<std::string> places, const std::string &place, std::size_t most);

} // namespace vardo
