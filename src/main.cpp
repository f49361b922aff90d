#include "app/form1.h"
#include "app/startup.h"
#include "core/check/commandline.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

// A start in a directory that no longer exists begins in the home directory instead.
static void ensureCurrentDirectory()
{
    char *cwd = ::getcwd(nullptr, 0);
    if (cwd) {
        std::free(cwd);
        return;
    }
    const char *home = std::getenv("HOME");
    if (!home || ::chdir(home) != 0)
        (void)::chdir("/");
}

int main(int argc, char *argv[])
{
    ensureCurrentDirectory();
    // The check runs without a display: before the application exists.
    if (vardo::check::isCheckCommand(argc, argv))
        return vardo::check::runCheckCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    QApplication application(argc, argv);
    vardo::prepareApplication();
    const std::string file = vardo::enterStartPlace(argc, argv);
    vardo::TForm1 form;
    form.show();
    if (!file.empty())
        form.openForEdit(file);
    return application.exec();
}
