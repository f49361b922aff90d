#pragma once

#include "help/helppages.h"
#include "workbench/workbench.h"

#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QHeaderView;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;

namespace vardo {

class CheckController;
class CompileController;
class DirectoryListBox;
class DriveComboBox;
class EditController;
class FileListBox;
class FindBar;
class FindController;
class GeneralPane;
class IndexComboBox;
class IndexController;
class NavigationController;
class OutputList;
class QuickOpen;
class Settings;
class SymbolNavigator;
class TabbedNotebook;
class TextPane;

// The main window: it builds its components and wires the features to them and to each other.
// Components carry their names as member names and as object names; the check box `auto` is
// `auto_` here, since `auto` is a keyword.
class TForm1 : public QWidget, public Workbench {
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Page indices of `Manager`.
    enum Page { NavPage = 0, EditPage = 1, ViewPage = 2, HelpPage = 3 };

    QFrame *Panel1;
    TabbedNotebook *TabbedNotebook1;
    FileListBox *qclista;
    FileListBox *listado;
    QFrame *Panel2;
    QHeaderView *HeaderControl1;
    QPushButton *qccarranca;
    TabbedNotebook *Manager;
    QFrame *Panel6;
    QFrame *Panel7;
    QFrame *Panel8;
    DriveComboBox *drive;
    QCheckBox *auto_;
    QPushButton *salvaman;
    // The recent project roots, above `dir`, and the root where it is not the working directory.
    QComboBox *roots;
    QLabel *rootName;
    DirectoryListBox *dir;
    TextPane *test;
    QFrame *Panel9;
    QStatusBar *editbar;
    // What the last Ctrl+S did, for a few seconds at the right of the status bar.
    QLabel *saveStatus;
    QFrame *Panel11;
    QHeaderView *HeaderControl2;
    IndexComboBox *com;
    QSplitter *Splitter1;
    TextPane *vardo;
    OutputList *output;
    // The project's problems as the checker finds them while the user types, under the output.
    OutputList *problems;
    TextPane *veer;
    TabbedNotebook *TabbedNotebook2;
    // The help panes, made when the Help page is first shown; null until then.
    std::array<TextPane *, vardo::help::kMemoCount> Memos{};
    QMenu *PopupMenu1;
    QAction *openwithnotepad1;
    QMenu *PopupMenu2;
    QAction *shellopen1;
    QAction *ExploreFolder1;
    FindBar *findbar;
    // Definitions, references, hover help and completion over the working directory's project.
    SymbolNavigator *symbols = nullptr;

    // The features, each with its own part of the window.
    EditController *editing = nullptr;
    IndexController *functionIndex = nullptr;
    GeneralPane *general = nullptr;
    NavigationController *navigation = nullptr;
    CompileController *compiling = nullptr;
    FindController *finding = nullptr;
    QuickOpen *quickOpen = nullptr;
    CheckController *checking = nullptr;

    void SetWindowCaption();
    // The working directory of the editor's last run, from its settings; empty for none.
    static std::string lastWorkingDirectory();
    // Offers to save the changed panes before the window closes; false when it must stay open.
    bool confirmClose();
    // Reloads the panes whose files another program saved, where they hold no edits.
    void reloadOutsideChanges();

    // What the features ask of the window.
    bool openForEdit(const std::string &path) override;
    void showInGeneralPane(const std::string &path) override;
    bool saveEditedFile() override;
    bool goToPlace(const std::string &path, int line, int column) override;
    void showResult(const QString &heading, std::vector<OutputRow> rows) override;
    Document &editedDocument() override;
    TextPane *frontPane() const override;
    Workbench::Page currentPage() const override;
    void showPage(Workbench::Page page) override;
    void setPageCaption(Workbench::Page page, const QString &caption) override;
    std::string workingDirectory() const override;
    std::string projectRoot() const override;
    Settings &settings() override { return *settings_; }
    bool isInProject(const std::string &path) const override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLeftColumn();
    void buildToolRow();
    void buildNavPage(QWidget *page);
    void buildEditPage(QWidget *page);
    void buildViewPage(QWidget *page);
    void buildHelpPage(QWidget *page);
    void buildMenus();
    void buildFindBar();
    void buildFeatures();
    void setTabOrder();
    void placeWindow();
    // What the editor remembers between starts: the window's place and splitter, restored once
    // built; the working directory and the recent project roots, on every change of directory.
    void restoreWindow();
    // The split is restored when the output list first shows: while it is hidden, the editor
    // takes the whole height.
    void restoreSplitter();
    void rememberWindow();
    void rememberDirectory();
    // The QuakeC list selects the edited file's row where it shows the file.
    void followEditedFile();
    void placeCompilerButton();
    void buildHelpMemos();

    bool shown_ = false;
    bool splitterRestored_ = false;
    std::unique_ptr<Settings> settings_;
};

} // namespace vardo
