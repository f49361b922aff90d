#pragma once

#include <QFont>

// How the window's text panes are set up.
namespace vardo {

class TextPane;

// A rich edit control sets a tab stop every half inch.
void setRichEditTabStops(TextPane *pane);
// A memo sets a tab stop every eight average character widths of its font.
void setMemoTabStops(TextPane *pane);

// QuakeC is single-byte text in a fixed-pitch face: shaping and kerning only cost time, most of
// all on long lines.
QFont editorFont();

} // namespace vardo
