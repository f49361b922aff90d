#include "widgettesting.h"

#include "core/base/paths.h"
#include "panes/textpane.h"
#include "settings/settings.h"
#include "ui/errorbox.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vardo::testing {

namespace {

// Every widget test keeps its settings in a home folder of its own, made before main(): the
// user's settings are never touched, and tests running side by side never see each other's.
struct SettingsOfTheirOwn {
    QTemporaryDir home;
    SettingsOfTheirOwn()
    {
        qputenv("HOME", home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
    }
};
const SettingsOfTheirOwn settingsOfTheirOwn;

} // namespace

TempTree::TempTree() : path_(dir_.path().toStdString()) {}

TempTree::~TempTree()
{
    // Tests may leave read-only directories and names that are not UTF-8 behind, which the
    // temporary directory's own clean-up cannot remove.
    const std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    (void)std::system(command.c_str());
}

void TempTree::write(const std::string &name, const std::string &bytes) const
{
    std::ofstream out(*this / name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void TempTree::makeDirectory(const std::string &name) const
{
    ::mkdir((*this / name).c_str(), 0755);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool fileExists(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

ErrorBoxRecorder::ErrorBoxRecorder()
{
    setErrorBoxSink([this](const QString &caption, const QString &text) {
        captions << caption;
        texts << text;
    });
}

ErrorBoxRecorder::~ErrorBoxRecorder()
{
    setErrorBoxSink({});
}

QuestionScript::QuestionScript()
{
    setQuestionSink([this](const QString &text, const std::vector<Choice> &) {
        asked << text;
        if (answers.empty())
            return Choice::Cancel;
        const Choice answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

QuestionScript::~QuestionScript()
{
    setQuestionSink({});
}

CurrentDirectoryGuard::CurrentDirectoryGuard() : saved_(paths::currentDirectory()) {}

CurrentDirectoryGuard::~CurrentDirectoryGuard()
{
    (void)::chdir(saved_.c_str());
}

std::unique_ptr<TForm1> startForm(const std::string &directory, StartSettings settings)
{
    // The window reads and writes what it remembers: never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    if (::chdir(directory.c_str()) != 0)
        return nullptr;
    if (settings == StartSettings::Fresh)
        QFile::remove(settingsFilePath());
    auto form = std::make_unique<TForm1>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}

const std::string &editedFile(const TForm1 &form)
{
    return form.vardo->doc()->path();
}

const std::string &generalFile(const TForm1 &form)
{
    return form.test->doc()->path();
}

static QModelIndex indexOf(const QAbstractItemView *list, int row)
{
    return list->model()->index(row, 0, list->rootIndex());
}

static QPoint centreOf(QAbstractItemView *list, int row)
{
    return list->visualRect(indexOf(list, row)).center();
}

void clickRow(QAbstractItemView *list, int row, Qt::MouseButton button)
{
    list->scrollTo(indexOf(list, row));
    QTest::mouseClick(list->viewport(), button, {}, centreOf(list, row));
}

void doubleClickRow(QAbstractItemView *list, int row)
{
    list->scrollTo(indexOf(list, row));
    const QPoint at = centreOf(list, row);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

QString rowText(const QAbstractItemView *list, int row)
{
    return indexOf(list, row).data().toString();
}

QStringList rowTexts(const QAbstractItemView *list)
{
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
        texts << rowText(list, row);
    return texts;
}

int rowOf(const QAbstractItemView *list, const QString &text)
{
    return static_cast<int>(rowTexts(list).indexOf(text));
}

} // namespace vardo::testing
