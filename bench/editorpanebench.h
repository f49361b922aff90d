#pragma once

// The editor pane's benchmarks: the 10 MB source as a file, and panes shown as the window
// shows its editor.
#include "benchtext.h"

#include "panes/textpane.h"

#include <QApplication>
#include <fstream>
#include <string>
#include <unistd.h>

// The 300,000-line source in a file of this process's own, written on first use.
inline const std::string &sourceFile()
{
    static const std::string path = [] {
        std::string name = "/tmp/vardo-pane-bench-" + std::to_string(::getpid()) + ".qc";
        std::ofstream(name, std::ios::binary) << quakecSource(300000);
        return name;
    }();
    return path;
}

// A pane laid out and shown as the window's editor: no wrapping, the window's size.
inline void showAsTheEditor(QPlainTextEdit &pane)
{
    pane.setLineWrapMode(QPlainTextEdit::NoWrap);
    pane.resize(760, 480);
    pane.show();
}

inline void loadAndPaint(vardo::TextPane &pane)
{
    pane.loadFromFile(sourceFile());
    pane.viewport()->repaint();
}
