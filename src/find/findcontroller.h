#pragma once

#include "workbench/workbench.h"

#include <QObject>

class QWidget;

namespace vardo {

class FindBar;
class TextPane;

// Find, replace and go to line in the pane in front, by their keys anywhere in the window.
class FindController : public QObject {
    Q_OBJECT

public:
    FindController(Workbench &workbench, FindBar *bar, QWidget *window);

    // Another page came to the front: the bar follows its pane.
    void frontPaneChanged();
    // Asks for a line number and goes there in the pane in front.
    void askForLine();

private:
    Workbench &workbench_;
    FindBar *bar_;
    QWidget *window_;
};

// Puts the caret at the start of a line (counted from 1) in the upper third of the pane.
void goToLine(TextPane *pane, int line);

} // namespace vardo
