#include "panes/panestyle.h"

#include "panes/textpane.h"
#include "ui/fonts.h"

namespace vardo {

void setRichEditTabStops(TextPane *pane)
{
    pane->setTabStopDistance(48);
}

void setMemoTabStops(TextPane *pane)
{
    pane->setTabStopDistance(8 * averageLetterWidth(pane->font()));
}

QFont editorFont()
{
    QFont font = windowsFont(QStringLiteral("Lucida Console"), 12);
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setKerning(false);
    return font;
}

} // namespace vardo
