#pragma once

#include <QWidget>
#include <array>

class QAction;
class QCheckBox;
class QFrame;
class QHeaderView;
class QMenu;
class QPushButton;
class QStatusBar;

namespace vardo {

class DirectoryListBox;
class DriveComboBox;
class FileListBox;
class IndexComboBox;
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
    TextPane *vardo;
    TextPane *veer;
    TabbedNotebook *TabbedNotebook2;
    std::array<TextPane *, 8> Memos;
    QMenu *PopupMenu1;
    QAction *openwithnotepad1;
    QMenu *PopupMenu2;
    QAction *shellopen1;
    QAction *ExploreFolder1;

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
    void bindEvents();
    void setTabOrder();
    void placeCompilerButton();
    bool handleAccessKey(QEvent *event);

    bool shown_ = false;
};

} // namespace vardo
