#include "app/form1.h"

#include "app/windowplacement.h"
#include "doc/qtext.h"
#include "find/findbar.h"
#include "help/helpmemos.h"
#include "lists/directorylistbox.h"
#include "lists/drivecombobox.h"
#include "lists/filelistbox.h"
#include "lists/indexcombobox.h"
#include "lists/outputlist.h"
#include "panes/colouring.h"
#include "panes/panestyle.h"
#include "panes/textpane.h"
#include "settings/settings.h"
#include "ui/errorbox.h"
#include "ui/fonts.h"
#include "ui/notebook.h"
#include "ui/widgetparts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTextDocument>

namespace vardo {

namespace {

// Design geometry at 96 dots per inch: the window's outer rectangle and its client area.
constexpr QRect kWindowFrame(78, 156, 855, 564);
constexpr QSize kClientSize(847, 537);
constexpr int kCompilerButtonRightMargin = 49;
// The recent roots' list is wider than its drop-down, so that their paths can be read.
constexpr int kRootsListWidth = 360;

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), settings_(std::make_unique<Settings>())
{
    setObjectName(QStringLiteral("Form1"));
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 11));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    auto *columns = tightLayout<QHBoxLayout>(this);
    buildLeftColumn();
    Panel2 = panel("Panel2", this);
    columns->addWidget(Panel1);
    columns->addWidget(Panel2, 1);
    buildToolRow();
    buildFindBar();
    buildMenus();
    buildFeatures();
    setTabOrder();
    placeWindow();
    restoreWindow();
    for (TextPane *pane : {vardo, veer, test})
        new QuakeCColouring(pane);
    // The general pane shows any file: it colours only QuakeC ones.
    QuakeCColouring::of(test)->setOn(false);
    qApp->installEventFilter(this);
}

void TForm1::placeWindow()
{
    const QSize border = kWindowFrame.size() - kClientSize;
    const QRect frame = placeOnScreen(kWindowFrame, minimumSizeHint() + border, screen()->availableGeometry());
    move(frame.topLeft());
    resize(frame.size() - border);
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
}

void TForm1::buildLeftColumn()
{
    Panel1 = panel("Panel1", this);
    Panel1->setFixedWidth(113);
    TabbedNotebook1 = named<TabbedNotebook>("TabbedNotebook1", Panel1);
    showHint(TabbedNotebook1, "Qc files or General Files.");
    tightLayout<QVBoxLayout>(Panel1)->addWidget(TabbedNotebook1);

    const QFont listFont = windowsFont(QStringLiteral("Tahoma"), 12, true);
    qclista = named<FileListBox>("qclista", std::string("*.qc"));
    qclista->setFont(listFont);
    qclista->setCursor(Qt::PointingHandCursor);
    qclista->setFrameShape(QFrame::NoFrame);
    showHint(qclista, "Click->Save last & open new, DblClick->Save.. ");
    listado = named<FileListBox>("listado", std::string("*.*"));
    listado->setFont(listFont);
    listado->setCursor(Qt::PointingHandCursor);
    showHint(listado, "Can damage files, click only in text files!");
    for (FileListBox *list : {qclista, listado}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    TabbedNotebook1->addPage(qclista, QStringLiteral("&QC"));
    TabbedNotebook1->addPage(listado, QStringLiteral("&All"));
    TabbedNotebook1->setCurrentIndex(0);
}

void TForm1::buildToolRow()
{
    HeaderControl1 = headerStrip("HeaderControl1", Panel2);
    qccarranca = named<QPushButton>("qccarranca", QStringLiteral("QCC!"), Panel2);
    qccarranca->setFont(windowsFont(QStringLiteral("Lucida Console"), 12, true));
    qccarranca->resize(58, 16);
    showHint(qccarranca, "Run the QCC app.");

    Manager = named<TabbedNotebook>("Manager", Panel2);
    // The panel's raised bevel leaves a pixel on every side.
    auto *rows = tightLayout<QVBoxLayout>(Panel2);
    rows->setContentsMargins(1, 1, 1, 1);
    rows->addWidget(HeaderControl1);
    rows->addWidget(Manager, 1);

    const char *captions[] = {"&Nav", "&Edit", "&View", "&Help"};
    QWidget *pages[4];
    for (int i = 0; i < 4; ++i) {
        pages[i] = new QWidget;
        Manager->addPage(pages[i], QLatin1String(captions[i]));
    }
    buildNavPage(pages[NavPage]);
    buildEditPage(pages[EditPage]);
    buildViewPage(pages[ViewPage]);
    buildHelpPage(pages[HelpPage]);
    Manager->setCurrentIndex(EditPage);
    qccarranca->raise();
    Panel2->installEventFilter(this);
}

void TForm1::buildNavPage(QWidget *page)
{
    Panel6 = panel("Panel6", page);
    tightLayout<QVBoxLayout>(page)->addWidget(Panel6);
    Panel7 = panel("Panel7", Panel6);
    Panel7->setFixedWidth(120);
    Panel8 = panel("Panel8", Panel7);
    Panel8->setFixedHeight(72);

    drive = named<DriveComboBox>("drive", Panel8);
    drive->setGeometry(6, 4, 107, 19);
    auto_ = named<QCheckBox>("auto", QStringLiteral("autosave edit"), Panel8);
    auto_->setGeometry(6, 24, 99, 17);
    auto_->setChecked(true);
    showHint(auto_, "The main swich. Not touch!");
    salvaman = named<QPushButton>("salvaman", QStringLiteral("Save Man -->"), Panel8);
    salvaman->setGeometry(8, 47, 105, 17);
    salvaman->setFont(windowsFont(QStringLiteral("Arial"), 12));
    showHint(salvaman, "Save the right panel as the \"all\" selected file.");

    roots = named<QComboBox>("roots", Panel7);
    roots->setPlaceholderText(QStringLiteral("Recent roots"));
    roots->view()->setMinimumWidth(kRootsListWidth);
    roots->view()->setTextElideMode(Qt::ElideLeft);
    showHint(roots, "The mods you worked on: choose one to go there.");
    rootName = named<QLabel>("rootName", Panel7);
    rootName->setContentsMargins(4, 0, 0, 0);
    rootName->hide();
    dir = named<DirectoryListBox>("dir", Panel7);
    dir->setLinkedFileList(qclista);
    showHint(dir, "Select the dir you want to work, here.");
    drive->setStartDirectory(dir->directory());
    auto *column = tightLayout<QVBoxLayout>(Panel7);
    column->addWidget(Panel8);
    column->addWidget(roots);
    column->addWidget(rootName);
    column->addWidget(dir, 1);

    test = named<TextPane>("test", TextPane::Kind::Memo, Panel6);
    test->setFont(windowsFont(QStringLiteral("System"), 12, true));
    test->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    test->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    test->viewport()->setCursor(Qt::ArrowCursor);
    test->setHideSelection(true);
    setMemoTabStops(test);
    // Stored but never shown: hints are off for this pane.
    test->setProperty("hint", QStringLiteral("Another edit window for general files."));
    auto *row = tightLayout<QHBoxLayout>(Panel6);
    row->addWidget(Panel7);
    row->addWidget(test, 1);
}

void TForm1::buildEditPage(QWidget *page)
{
    HeaderControl2 = headerStrip("HeaderControl2", page);
    HeaderControl2->setEnabled(false);
    com = named<IndexComboBox>("com", page);
    com->setGeometry(8, 0, 673, 22);
    com->setFont(fittedToHeight(windowsFont(QStringLiteral("Terminal"), 12, true), IndexComboBox::kItemHeight));
    com->raise();

    vardo = named<TextPane>("vardo", TextPane::Kind::RichEdit, page);
    vardo->setFont(editorFont());
    vardo->setLineWrapMode(QPlainTextEdit::NoWrap);
    vardo->setTabChangesFocus(false);
    vardo->setHideSelection(false);
    setRichEditTabStops(vardo);
    vardo->setLineNumbersShown(true);
    vardo->setCurrentLineShown(true);
    output = named<OutputList>("output", page);
    output->setFont(editorFont());
    output->hide();
    problems = named<OutputList>("problems", page);
    problems->setFont(editorFont());
    problems->hide();
    Splitter1 = named<QSplitter>("Splitter1", Qt::Vertical, page);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(vardo);
    Splitter1->addWidget(output);
    Splitter1->addWidget(problems);
    Splitter1->setStretchFactor(0, 3);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setStretchFactor(2, 1);

    Panel9 = panel("Panel9", page);
    Panel9->setFixedHeight(25);
    editbar = named<QStatusBar>("editbar", Panel9);
    editbar->setSizeGripEnabled(false);
    saveStatus = named<QLabel>("saveStatus", editbar);
    editbar->addPermanentWidget(saveStatus);
    // Shown only while it has something to say: the caret status is drawn up to it.
    saveStatus->hide();
    Panel11 = panel("Panel11", Panel9);
    Panel11->setFixedWidth(156);
    Panel11->setFrameShape(QFrame::Panel);
    Panel11->setFrameShadow(QFrame::Sunken);
    auto *bar = tightLayout<QHBoxLayout>(Panel9);
    bar->addWidget(editbar, 1);
    bar->addWidget(Panel11);

    auto *rows = tightLayout<QVBoxLayout>(page);
    rows->addWidget(HeaderControl2);
    rows->addWidget(Splitter1, 1);
    rows->addWidget(Panel9);
}

void TForm1::buildViewPage(QWidget *page)
{
    veer = named<TextPane>("veer", TextPane::Kind::RichEdit, page);
    veer->setReadOnly(true);
    veer->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    veer->setTabChangesFocus(true);
    veer->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    veer->setHideSelection(true);
    veer->setLineNumbersShown(true);
    QPalette palette = veer->palette();
    palette.setColor(QPalette::Base, QColor(212, 208, 200));
    veer->setPalette(palette);
    veer->setBorder(TextPane::Border::Single);
    setRichEditTabStops(veer);
    tightLayout<QVBoxLayout>(page)->addWidget(veer);
}

void TForm1::buildHelpPage(QWidget *page)
{
    TabbedNotebook2 = named<TabbedNotebook>("TabbedNotebook2", page);
    TabbedNotebook2->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 11));
    tightLayout<QVBoxLayout>(page)->addWidget(TabbedNotebook2);
    // Eight text panes and their faces cost a good part of the start: they are made when
    // somebody first reads them.
    connect(Manager, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == HelpPage)
            buildHelpMemos();
    });
}

void TForm1::buildHelpMemos()
{
    if (Memos[0])
        return;
    Memos = vardo::buildHelpMemos(TabbedNotebook2);
    for (TextPane *memo : Memos)
        findbar->watch(memo);
}

void TForm1::buildMenus()
{
    PopupMenu1 = named<QMenu>("PopupMenu1", this);
    openwithnotepad1 = PopupMenu1->addAction(QStringLiteral("open with notepad"));
    openwithnotepad1->setObjectName(QStringLiteral("openwithnotepad1"));
    PopupMenu2 = named<QMenu>("PopupMenu2", this);
    shellopen1 = PopupMenu2->addAction(QStringLiteral("&shell open"));
    shellopen1->setObjectName(QStringLiteral("shellopen1"));
    ExploreFolder1 = PopupMenu2->addAction(QStringLiteral("&Explore Folder"));
    ExploreFolder1->setObjectName(QStringLiteral("ExploreFolder1"));
}

void TForm1::buildFindBar()
{
    findbar = new FindBar(Panel2);
    static_cast<QBoxLayout *>(Panel2->layout())->addWidget(findbar);
    for (TextPane *pane : {vardo, veer, test})
        findbar->watch(pane);
}

void TForm1::setTabOrder()
{
    chainTabOrder({qclista, listado, qccarranca, Manager->tabBar(), dir, auto_, drive, salvaman, test, com,
                   vardo, output, problems, veer, TabbedNotebook2->tabBar()});
}

void TForm1::placeCompilerButton()
{
    qccarranca->move(Panel2->width() - kCompilerButtonRightMargin - qccarranca->width(), 3);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    runGuarded([this] {
        SetWindowCaption();
        Manager->setTabText(EditPage, QStringLiteral("&Edit"));
    });
}

void TForm1::closeEvent(QCloseEvent *event)
{
    bool mayClose = false;
    runGuarded([&] {
        mayClose = confirmClose();
        if (mayClose)
            rememberWindow();
    });
    event->setAccepted(mayClose);
}

// Coming back to the window, the user sees what other programs saved meanwhile.
void TForm1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        runGuarded([this] { reloadOutsideChanges(); });
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel2 && event->type() == QEvent::Resize)
        placeCompilerButton();
    if (watched == output && event->type() == QEvent::Show)
        restoreSplitter();
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
        // The main notebook is asked first, so Alt+E always brings "&Edit" to the front; the
        // help pages answer only while they are shown.
        return selectPageByAccessKey(event, this, {Manager, TabbedNotebook1, TabbedNotebook2});
    return false;
}

void TForm1::SetWindowCaption()
{
    setWindowTitle(QStringLiteral(":: V A R D O :: - ") + displayText(dir->directory()));
}

} // namespace vardo
