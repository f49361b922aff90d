// The window's features, how they are wired to each other, and what they ask of the window.
#include "app/form1.h"

#include "checking/checkcontroller.h"
#include "compile/compilecontroller.h"
#include "core/base/paths.h"
#include "core/qc/sourcelist.h"
#include "edit/brackets.h"
#include "edit/editcontroller.h"
#include "edit/indenting.h"
#include "edit/indexcontroller.h"
#include "find/findcontroller.h"
#include "general/generalpane.h"
#include "help/helppages.h"
#include "lists/directorylistbox.h"
#include "lists/filelistbox.h"
#include "lists/outputlist.h"
#include "nav/navigationcontroller.h"
#include "panes/textpane.h"
#include "quickopen/quickopen.h"
#include "symbols/symbolnavigator.h"
#include "tools/programs.h"
#include "ui/errorbox.h"
#include "ui/notebook.h"

#include <QShortcut>

namespace vardo {

void TForm1::buildFeatures()
{
    // Made first, so that the editing workflow, whose filter then runs before it, still sees
    // every key the indentation takes over.
    new Indenter(vardo, this);
    new BracketMarks(vardo, this);
    editing = new EditController(*this, {qclista, vardo, veer, editbar, saveStatus, auto_}, this);
    functionIndex = new IndexController(com, vardo, this);
    connect(editing, &EditController::textLoaded, functionIndex, &IndexController::rebuild);
    general = new GeneralPane(*this, listado, test, salvaman, this);
    // Ctrl+S saves the pane in front: the editor, or the general pane as its button does.
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, [this] {
        runGuarded([this] {
            if (currentPage() == Workbench::Page::Edit)
                editing->save();
            else if (currentPage() == Workbench::Page::Nav)
                general->save();
        });
    });
    // F1 lists the keys.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, [this] {
        showPage(Workbench::Page::Help);
        TabbedNotebook2->setCurrentIndex(help::kKeysPage);
        Memos[help::kKeysPage]->setFocus();
    });
    navigation = new NavigationController(
        {drive, dir, qclista, listado, PopupMenu1, openwithnotepad1, PopupMenu2, shellopen1, ExploreFolder1, roots,
         rootName},
        this);
    connect(navigation, &NavigationController::directoryChanged, this, &TForm1::SetWindowCaption);
    connect(navigation, &NavigationController::directoryChanged, this, [this] {
        rememberDirectory();
        editing->followProjectRoot();
        followEditedFile();
    });
    connect(editing, &EditController::textLoaded, this, &TForm1::followEditedFile);
    compiling = new CompileController(*this, qccarranca, output, this);
    connect(compiling, &CompileController::ended, navigation,
            [this] { runGuarded([this] { navigation->refreshLists(); }); });
    finding = new FindController(*this, findbar, this);
    for (TabbedNotebook *notebook : {Manager, TabbedNotebook2})
        connect(notebook, &QTabWidget::currentChanged, finding, &FindController::frontPaneChanged);
    symbols = new SymbolNavigator(*this, vardo, veer, this);
    connect(navigation, &NavigationController::directoryChanged, symbols, [this] {
        const std::string root = projectRoot();
        // Another project's uses and messages would lead nowhere useful.
        if (root != symbols->projectRoot())
            output->clear();
        symbols->setProjectRoot(root);
    });
    // A row's jump joins the walk back and forth.
    for (OutputList *list : {output, problems})
        connect(list, &OutputList::goToRequested, symbols, [this](const OutputRow &row) {
            runGuarded([this, &row] { symbols->jumpToPlace(row.file, row.line, row.column, row.length); });
        });
    checking = new CheckController(*this, vardo, problems, this);
    compiling->walkAlso(problems);
    symbols->setScopes({[this](int line, int column) { return checking->declarationAt(line, column); },
                        [this](const check::Declaration &declaration) { return checking->usesOf(declaration); }});
    // The compiler has just seen the disk: the check reads it again too.
    connect(compiling, &CompileController::ended, checking, &CheckController::recheckProject);
    connect(navigation, &NavigationController::directoryChanged, problems, &OutputList::clear);
    connect(navigation, &NavigationController::directoryChanged, checking, &CheckController::recheckProject);
    symbols->setProjectRoot(projectRoot());
    rememberDirectory();
    quickOpen = new QuickOpen(*this, this);
    for (OutputList *list : {output, problems})
        list->setOutsideMark([this](const std::string &path) { return !isInProject(path); });
}

// However the file was opened; a file the list does not show leaves its selection alone.
void TForm1::followEditedFile()
{
    const std::string &path = editedDocument().path();
    if (!path.empty() && paths::directoryPart(path) == paths::join(qclista->directory(), ""))
        qclista->selectFile(path);
}

bool TForm1::confirmClose()
{
    return editing->confirmClose() && general->confirmClose();
}

void TForm1::reloadOutsideChanges()
{
    editing->reloadOutsideChanges();
    general->reloadOutsideChanges();
}

bool TForm1::openForEdit(const std::string &path)
{
    return editing->openForEdit(path);
}

void TForm1::showInGeneralPane(const std::string &path)
{
    general->load(path);
}

bool TForm1::saveEditedFile()
{
    return editing->autosave();
}

bool TForm1::goToPlace(const std::string &path, int line, int column)
{
    return editing->goToPlace(path, line, column);
}

void TForm1::showResult(const QString &heading, std::vector<OutputRow> rows)
{
    output->showResult(heading, std::move(rows));
}

Document &TForm1::editedDocument()
{
    return *vardo->doc();
}

TextPane *TForm1::frontPane() const
{
    switch (Manager->currentIndex()) {
    case NavPage:
        return test;
    case EditPage:
        return vardo;
    case ViewPage:
        return veer;
    case HelpPage:
        return Memos[static_cast<std::size_t>(TabbedNotebook2->currentIndex())];
    default:
        return nullptr;
    }
}

Workbench::Page TForm1::currentPage() const
{
    return static_cast<Workbench::Page>(Manager->currentIndex());
}

void TForm1::showPage(Workbench::Page page)
{
    Manager->setCurrentIndex(static_cast<int>(page));
}

void TForm1::setPageCaption(Workbench::Page page, const QString &caption)
{
    Manager->setTabText(static_cast<int>(page), caption);
}

std::string TForm1::workingDirectory() const
{
    return tools::workingDirectory();
}

std::string TForm1::projectRoot() const
{
    return qc::findProjectRoot(workingDirectory());
}

bool TForm1::isInProject(const std::string &path) const
{
    return symbols->isInProject(path);
}

} // namespace vardo
