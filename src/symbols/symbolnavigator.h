#pragma once

#include "core/check/projectchecker.h"
#include "core/qc/symbols.h"
#include "workbench/workbench.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QKeyEvent;
class QListView;
class QTimer;

namespace vardo {

class ChoiceRows;
class ProjectSymbols;
class TextPane;

// The name a position of a pane's text stands on, with where it begins in its line.
struct NameAt {
    QString name;
    bool frame = false; // written "$name": a frame macro
    int line = 0;       // from 0
    int column = 0;     // from 0, of the name without its "$"
};

// The name under (or just before) a column of a line; empty when there is none.
NameAt nameAt(const QString &lineText, int line, int column);

// A path as the window shows it: relative to the project root when it lies below it.
QString shownPath(const std::string &path, const std::string &directory);
// Bytes of the code page as text.
QString fromBytes(const std::string &bytes);

// The whole project at the editor's fingertips: go to definition (F12, Ctrl+click), the walk
// back and forward through the places jumped from and to (Alt+Left, Alt+Right), find references
// (Shift+F12), hover help, and completion (Ctrl+Space, Ctrl+J) in the editor `vardo`; the first
// four also in the preview `veer`. Jumps and lists of uses go through the workbench.
class SymbolNavigator : public QObject {
    Q_OBJECT

public:
    // What a row of completion says its name is (".float field", "local"), beside the name.
    static constexpr int kDetailRole = Qt::UserRole + 1;

    SymbolNavigator(Workbench &workbench, TextPane *editor, TextPane *preview, QObject *parent = nullptr);
    ~SymbolNavigator() override;

    // What a check of the editor's text knows of its names: the declaration at a line and
    // column (from 1), and its uses; none and empty while it cannot say at once.
    struct Scopes {
        std::function<std::optional<check::Declaration>(int line, int column)> declarationAt;
        std::function<std::vector<check::Place>(const check::Declaration &)> usesOf;
    };
    // Locals and parameters in the editor are answered from the scopes: F12 goes to their
    // declaration, Shift+F12 lists their function's uses, hover shows their type.
    void setScopes(Scopes scopes) { scopes_ = std::move(scopes); }

    // Reads the project of a root anew; nothing when it is the root being read already.
    void setProjectRoot(const std::string &root);
    const std::string &projectRoot() const;

    ProjectSymbols &symbols() { return *symbols_; }
    // Whether a file belongs to the project being read (its path absolute or relative to the
    // current directory).
    bool isInProject(const std::string &path) const;

    void goToDefinition(TextPane *pane);
    void findReferences(TextPane *pane);
    // Goes to a line and column (both from 1) of a file as a jump that Alt+Left comes back
    // from: a row of the output list. It selects `length` characters there, or with none the
    // line from there on.
    void jumpToPlace(const std::string &path, int line, int column, int length);
    bool goBack();
    bool goForward();
    void complete();
    // What hovering a name shows: its declarations, comments and places; empty for none.
    QString hoverText(const NameAt &name) const;
    // The list of choices shown for several definitions or completions; null when none is shown.
    QListView *choices() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Place {
        std::string path;
        int line;   // from 0
        int column; // from 0
    };
    // What the list of choices offers while it is shown, and only then: hidden for any reason
    // (a choice, Esc, a click elsewhere, another window taking the focus), it offers nothing.
    struct Offer {
        // Completion: typing goes on in the editor and narrows the list to the names that
        // begin with what is typed. Otherwise each row is one definition, in order.
        bool completion = false;
        QStringList names;                   // completion: every name that can be offered
        QHash<QString, QString> details;     // completion: what each name is
        QStringList labels;                  // definitions: the rows shown
        std::vector<qc::Definition> definitions; // one per label
    };
    std::optional<Place> editorPlace() const;
    bool jumpTo(const std::string &path, int line, int column, int length);
    void jumpToDefinition(const qc::Definition &definition);
    void walk(std::vector<Place> &from, std::vector<Place> &to);
    void showChoices(TextPane *pane, const QStringList &rows, Offer offer);
    void hideChoices();
    void choose();
    bool choicesKey(QKeyEvent *key);
    bool completing() const { return offer_ && offer_->completion; }
    // The names of the offer that begin with a prefix, ignoring case.
    static QStringList completionsFor(const QStringList &names, const QString &prefix);
    // The names of the parameters and locals declared above the caret in its function.
    QStringList localNamesAtCaret() const;
    // The column in the caret's line where the name before the caret begins.
    int prefixColumn() const;
    void tell(TextPane *pane, const QString &message);
    // The index follows the editor's text: in the background after a pause in typing, at once
    // when a lookup needs lines the index has not seen yet and the text is small enough.
    // Gives the index the editor's text, unless it is the file's text that the index holds.
    void indexEditorText(bool inBackground);
    void bringIndexUpToDate();
    NameAt nameAtCaret(TextPane *pane) const;
    // What the last check says a name of the editor is; none elsewhere or while it cannot say.
    std::optional<check::Declaration> checkedDeclaration(TextPane *pane, const NameAt &name) const;
    // False when the scopes could not say.
    bool listLocalUses(const check::Declaration &local);
    // Hover help for what the checker knows, over what the index has for the name.
    QString hoverText(TextPane *pane, const NameAt &name) const;
    void insertCompletion(const QString &name);
    void refilterCompletion();

    Workbench &workbench_;
    TextPane *editor_;
    ProjectSymbols *symbols_;
    Scopes scopes_;
    QTimer *typingPause_;
    // The one list of choices, made on first use and owned here.
    QPointer<QListView> choices_;
    ChoiceRows *rows_ = nullptr; // the list's rows
    std::optional<Offer> offer_;
    std::vector<Place> back_, forward_;
    // The project's bounds, made when first asked after the project changed.
    mutable std::optional<qc::ProjectBounds> bounds_;
};

} // namespace vardo
