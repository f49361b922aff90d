#include "help/helpmemos.h"

#include "panes/panestyle.h"
#include "panes/textpane.h"
#include "ui/fonts.h"
#include "ui/notebook.h"
#include "ui/widgetparts.h"

#include <QTabBar>

namespace vardo {

namespace {

TextPane *helpMemo(const help::HelpPage &info, const std::string &text, TabbedNotebook *notebook)
{
    TextPane *memo = named<TextPane>(info.memoName, TextPane::Kind::Memo, nullptr);
    memo->setFont(windowsFont(QLatin1String(info.fontFamily), info.fontPixels, info.bold));
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setTabChangesFocus(true);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(info.verticalScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    memo->setHideSelection(true);
    setMemoTabStops(memo);
    memo->setBytes(text);
    notebook->addPage(memo, QLatin1String(info.caption));
    return memo;
}

} // namespace

std::array<TextPane *, help::kMemoCount> buildHelpMemos(TabbedNotebook *notebook)
{
    std::array<TextPane *, help::kMemoCount> memos{};
    for (int i = 0; i < help::kPageCount; ++i)
        memos[static_cast<std::size_t>(i)] =
            helpMemo(help::helpPages()[static_cast<std::size_t>(i)], help::helpPageText(i), notebook);
    memos[help::kKeysPage] = helpMemo(help::keysPage(), help::keysPageText(), notebook);
    notebook->setCurrentIndex(help::kFirstPage);
    QList<QWidget *> chain{notebook->tabBar()};
    for (TextPane *memo : memos)
        chain << memo;
    chainTabOrder(chain);
    return memos;
}

} // namespace vardo
