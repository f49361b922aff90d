#pragma once

#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

namespace vardo {

// The answers a question may offer. Esc and the box's close button answer Cancel.
enum class Choice { Save, Discard, Overwrite, DiscardMyEdits, Ok, Cancel };

// Asks the user with a message box holding one button per choice (laid out as the desktop
// orders them) and returns the choice. Save is the default button where it is offered, else
// the last choice.
Choice askUser(const QString &text, std::initializer_list<Choice> choices);

// Replaces the message box, for tests; an empty function restores it.
void setQuestionSink(std::function<Choice(const QString &text, const std::vector<Choice> &choices)> sink);

} // namespace vardo
