// What the window remembers between starts, in the settings file.
#include "app/form1.h"

#include "core/base/console.h"
#include "core/qc/sourcelist.h"
#include "lists/directorylistbox.h"
#include "lists/outputlist.h"
#include "nav/navigationcontroller.h"
#include "settings/settings.h"

#include <QSplitter>

namespace vardo {

namespace {

const QString kWindowGeometry = QStringLiteral("window/geometry");
const QString kSplitter = QStringLiteral("window/splitter");
const QString kLastDirectory = QStringLiteral("places/lastDirectory");
const QString kRecentRoots = QStringLiteral("places/recentRoots");
constexpr std::size_t kMostRecentRoots = 10;

void tellProblem(Settings &settings)
{
    if (const QString problem = settings.untoldProblem(); !problem.isEmpty())
        ConsoleMessage(problem.toStdString());
}

void saveTelling(Settings &settings)
{
    settings.save();
    tellProblem(settings);
}

} // namespace

std::string TForm1::lastWorkingDirectory()
{
    return Settings().path(kLastDirectory);
}

void TForm1::restoreWindow()
{
    tellProblem(*settings_);
    // A remembered place that no screen shows any more is moved onto one by Qt.
    restoreGeometry(settings_->bytes(kWindowGeometry));
}

void TForm1::restoreSplitter()
{
    if (splitterRestored_)
        return;
    splitterRestored_ = true;
    Splitter1->restoreState(settings_->bytes(kSplitter));
}

void TForm1::rememberWindow()
{
    settings_->setBytes(kWindowGeometry, saveGeometry());
    // A split never shown this time is the one remembered.
    if (!output->isHidden())
        settings_->setBytes(kSplitter, Splitter1->saveState());
    saveTelling(*settings_);
}

// A root is remembered once it holds a source list: browsing through folders on the way to a
// mod leaves no trace.
void TForm1::rememberDirectory()
{
    const std::string root = projectRoot();
    std::vector<std::string> recent = settings_->pathList(kRecentRoots);
    if (qc::holdsSourceList(root))
        recent = withFirst(std::move(recent), root, kMostRecentRoots);
    settings_->setPathList(kRecentRoots, recent);
    settings_->setPath(kLastDirectory, dir->directory());
    saveTelling(*settings_);
    navigation->showProject(root, recent);
}

} // namespace vardo
