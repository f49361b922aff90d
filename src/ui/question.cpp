#include "ui/question.h"

#include "ui/errorbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <map>

namespace vardo {

namespace {

std::function<Choice(const QString &, const std::vector<Choice> &)> &questionSink()
{
    static std::function<Choice(const QString &, const std::vector<Choice> &)> sink;
    return sink;
}

struct ButtonLook {
    const char *label;
    QMessageBox::ButtonRole role;
};

ButtonLook lookOf(Choice choice)
{
    switch (choice) {
    case Choice::Save:
        return {"&Save", QMessageBox::AcceptRole};
    case Choice::Discard:
        return {"&Discard", QMessageBox::DestructiveRole};
    case Choice::Overwrite:
        return {"&Overwrite", QMessageBox::AcceptRole};
    case Choice::DiscardMyEdits:
        return {"Discard &my edits", QMessageBox::DestructiveRole};
    case Choice::Ok:
        return {"OK", QMessageBox::AcceptRole};
    case Choice::Cancel:
        break;
    }
    return {"Cancel", QMessageBox::RejectRole};
}

} // namespace

void setQuestionSink(std::function<Choice(const QString &, const std::vector<Choice> &)> sink)
{
    questionSink() = std::move(sink);
}

Choice askUser(const QString &text, std::initializer_list<Choice> choices)
{
    if (questionSink())
        return questionSink()(text, std::vector<Choice>(choices));

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(kApplicationTitle);
    box.setIcon(choices.size() > 1 ? QMessageBox::Question : QMessageBox::Information);
    box.setText(text);
    std::map<QAbstractButton *, Choice> buttons;
    QPushButton *defaultButton = nullptr;
    for (const Choice choice : choices) {
        const ButtonLook look = lookOf(choice);
        QPushButton *button = box.addButton(QString::fromUtf8(look.label), look.role);
        buttons[button] = choice;
        if (!defaultButton || buttons[defaultButton] != Choice::Save)
            defaultButton = button;
    }
    box.setDefaultButton(defaultButton);
    // Esc and the close button answer the box's only button or its one of the reject role.
    box.exec();
    const auto chosen = buttons.find(box.clickedButton());
    return chosen == buttons.end() ? Choice::Cancel : chosen->second;
}

} // namespace vardo
