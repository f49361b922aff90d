#include "ui/errorbox.h"

#include "core/base/errors.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace vardo {

namespace {

std::function<void(const QString &, const QString &)> &errorBoxSink()
{
    static std::function<void(const QString &, const QString &)> sink;
    return sink;
}

} // namespace

void setErrorBoxSink(std::function<void(const QString &, const QString &)> sink)
{
    errorBoxSink() = std::move(sink);
}

void showErrorBox(const QString &message)
{
    const QString text = QString::fromStdString(errorBoxText(message.toStdString()));
    if (errorBoxSink()) {
        errorBoxSink()(kApplicationTitle, text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), kApplicationTitle, text);
}

void runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        showErrorBox(QString::fromUtf8(error.what()));
    }
}

} // namespace vardo
