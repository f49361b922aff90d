#include "help/helppages.h"

#include <QFile>

namespace vardo::help {

namespace {

std::string resourceText(const char *name)
{
    QFile file(QStringLiteral(":/help/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

} // namespace

const std::array<HelpPage, kPageCount> &helpPages()
{
    static const std::array<HelpPage, kPageCount> pages = {{
        {"&Console", "Memo1", "System", 12, true, true},
        {"QCman - &Index", "Memo2", "System", 12, true, true},
        {"QCMan - &Lex", "Memo3", "System", 12, true, true},
        {"QCman - &Builtin", "Memo4", "System", 12, true, true},
        {"QCman  - &Defs", "Memo5", "System", 12, true, true},
        {"QCman - &Misc", "Memo6", "System", 12, true, true},
        {"QCman - &Exampl", "Memo7", "System", 12, true, true},
        {"VARDO -Minihelp", "Memo8", "Comic Sans MS", 13, false, false},
    }};
    return pages;
}

const HelpPage &keysPage()
{
    static const HelpPage page = {"&Keys", "Memo9", "Lucida Console", 12, false, true};
    return page;
}

std::string keysPageText()
{
    return resourceText("keys.txt");
}

std::string helpPageText(int index)
{
    static const char *const files[kPageCount] = {"console.txt", "index.txt", "lex.txt",
                                                  "builtin.txt", "defs.txt",  nullptr,
                                                  "examples.txt", "minihelp.txt"};
    if (index < 0 || index >= kPageCount)
        return {};
    // The Misc page opens with the whole Defs page, then three empty lines.
    if (!files[index])
        return resourceText("defs.txt") + "\r\n\r\n\r\n" + resourceText("misc.txt");
    return resourceText(files[index]);
}

} // namespace vardo::help
