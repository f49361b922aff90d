#pragma once

#include <QWidget>
#include <array>

class QAction;
class QCheckBox;
class QFrame;
class QHeaderView;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;

namespace vardo {

class DirectoryListBox;
class DriveComboBox;
class FileListBox;
class FindBar;
class IndexComboBox;
class CompileRun;
class OutputList;
class SymbolNavigator;
class TabbedNotebook;
class TextPane;

// The main window and its event handlers. Components carry their names as member names and as
// object names; the check box `auto` is `auto_` here, since `auto` is a keyword.
class TForm1 : public QWidget {
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
    DirectoryListBox *dir;
    TextPane *test;
    QFrame *Panel9;
    QStatusBar *editbar;
    QFrame *Panel11;
    QHeaderView *HeaderControl2;
    IndexComboBox *com;
    QSplitter *Splitter1;
    TextPane *vardo;
    OutputList *output;
    TextPane *veer;
    TabbedNotebook *TabbedNotebook2;
    // The help panes, made when the Help page is first shown; null until then.
    std::array<TextPane *, 8> Memos{};
    QMenu *PopupMenu1;
    QAction *openwithnotepad1;
    QMenu *PopupMenu2;
    QAction *shellopen1;
    QAction *ExploreFolder1;
    FindBar *findbar;
    // Definitions, references, hover help and completion over the working directory's project.
    SymbolNavigator *symbols = nullptr;

    void SetWindowCaption();
    void ShowCaretPosition();
    void RebuildFunctionIndex();
    void JumpToDeclaration();
    // The open-for-edit of a double click, for any path: the autosave, then the load into the
    // editor with the index, the captions and the shared state. False when it did not open.
    bool OpenForEdit(const std::string &path);
    // Writes the editor's text back to its file as the open-for-edit does before it loads:
    // only a changed text, and never over another program's save without asking. False when
    // the text could not be written or the user cancelled, and the caller must stop.
    bool AutosaveEditor();
    // Loads the edited file again, keeping the caret's place; false, with the error box, when
    // it cannot be read.
    bool ReloadEditor();
    // The Edit tab shows the file's name, marked while the editor's text is changed.
    void ShowModificationMark();
    // Offers to save the changed panes before the window closes; false when it must stay open.
    bool ConfirmClose();
    // Reloads the panes whose files another program saved, where they hold no edits.
    void ReloadOutsideChanges();
    // Goes to a line (from 1) and column (from 1; 0: none) of a file, its path absolute or
    // relative to the current directory: opens it for editing unless it is the edited file,
    // selects the line from the column on, places it in the upper third and shows the caret
    // position. A missing file gets the error box. False when the editor did not get there.
    bool GoToPlace(const std::string &path, int line, int column);
    // The pane the find bar and go to line work on: the one on the page in front.
    TextPane *frontPane() const;
    // Puts the caret at the start of a line (counted from 1) in the upper third of the pane.
    void GoToLine(TextPane *pane, int line);

    // Event handlers, bound to the components' events by the constructor.
    void FormShow();
    void driveChange();
    void dirChange();
    void qclistaClick();
    void qclistaDblClick();
    void listadoClick();
    void salvamanClick();
    void Button6Click();
    void openwithnotepad1Click();
    void shellopen1Click();
    void ExploreFolder1Click();
    void codeChange();
    void comClick();
    void comKeyPress(int key);
    void codexKeyDown();
    void codexMouseDown();
    void codexMouseUp();
    void vardoEnter();
    void vardoExit();
    void findClick();
    void replaceClick();
    void findNextClick();
    void findPreviousClick();
    void goToLineClick();

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
    void bindEvents();
    void bindBuildEvents();
    void bindSymbolEvents();
    void setTabOrder();
    void placeWindow();
    void placeCompilerButton();
    void buildHelpMemos();
    bool handleAccessKey(QEvent *event);

    bool shown_ = false;
    CompileRun *compileRun_ = nullptr;
};

} // namespace vardo
