#pragma once

#include "core/qc/lexer.h"

#include <QColor>

// The colours of QuakeC text and of the find and bracket marks, the same in every pane. Each is dark enough
// to read on the white of the editor and on the grey of the preview.
namespace vardo::colours {

// The colour of a kind of token; invalid for those shown in the pane's own text colour.
QColor ofToken(qc::TokenKind kind);

// The background of a match of the find bar in view, and of the one selected.
QColor findMark();
QColor currentFindMark();

// The background of a bracket beside the caret and of its partner, and of one without a partner.
QColor bracketMark();
QColor unmatchedBracketMark();

} // namespace vardo::colours
