#include "app/fonts.h"
#include "app/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vardo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vardo"));
    vardo::registerWindowsFonts();
    vardo::TForm1 form;
    form.show();
    return application.exec();
}
