#pragma once

#include <QString>
#include <functional>

namespace vardo {

// The application title: the task bar's text and the error box's caption.
inline const QString kApplicationTitle = QStringLiteral(":: Vardo ::");

// Runs an event handler; an error it does not catch goes to the application's error box and
// the rest of the handler is abandoned. Qt must never see an exception cross its event loop.
void runGuarded(const std::function<void()> &handler);

// Shows the error box for a message (the full-stop rule applied).
void showErrorBox(const QString &message);

// Replaces the error box, for tests; an empty function restores the message box.
void setErrorBoxSink(std::function<void(const QString &caption, const QString &text)> sink);

} // namespace vardo
