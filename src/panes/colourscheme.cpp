#include "panes/colourscheme.h"

namespace vardo::colours {

QColor ofToken(qc::TokenKind kind)
{
    using qc::TokenKind;
    switch (kind) {
    case TokenKind::Keyword:
        return QColor(0, 0, 170);
    case TokenKind::Type:
        return QColor(0, 96, 128);
    case TokenKind::Number:
        return QColor(150, 60, 0);
    case TokenKind::String:
        return QColor(160, 20, 20);
    case TokenKind::Vector:
        return QColor(120, 30, 140);
    case TokenKind::Comment:
        return QColor(0, 100, 0);
    case TokenKind::EntityComment:
        return QColor(0, 100, 90);
    case TokenKind::Preprocessor:
        return QColor(130, 70, 0);
    case TokenKind::FrameMacro:
        return QColor(160, 0, 110);
    case TokenKind::BuiltinNumber:
        return QColor(90, 60, 160);
    case TokenKind::Name:
    case TokenKind::Punctuation:
        break;
    }
    return {};
}

QColor findMark()
{
    return QColor(255, 232, 120);
}

QColor currentFindMark()
{
    return QColor(255, 150, 50);
}

QColor bracketMark()
{
    return QColor(170, 225, 170);
}

QColor unmatchedBracketMark()
{
    return QColor(255, 150, 150);
}

} // namespace vardo::colours
