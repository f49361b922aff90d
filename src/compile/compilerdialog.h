#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace vardo {

class Settings;

// "Compiler…" on the QCC! button: the compilers found with their versions, a field for another
// program and one for extra arguments. OK remembers the choice; a program that cannot run or
// arguments that do not split give the error box and change nothing.
class CompilerDialog : public QDialog {
    Q_OBJECT

public:
    CompilerDialog(Settings &settings, QWidget *parent);

    void accept() override;

private:
    Settings &settings_;
    QListWidget *found_;
    QLineEdit *program_;
    QLineEdit *arguments_;
};

} // namespace vardo
