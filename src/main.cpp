#include "app/form1.h"
#include "app/startup.h"
#include "core/check/commandline.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

// The directory the editor was started in; empty when it no longer exists, and then the start
// goes on in the home directory until the start place is chosen.
static std::string launchDirectory()
{
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (cwd)
        return cwd.get();
    const char *home = std::getenv("HOME");
    if (!home || ::chdir(home) != 0)
        (void)::chdir("/");
    return {};
}

int main(int argc, char *argv[])
{
    const std::string launched = launchDirectory();
    // The check runs without a display: before the application exists.
    if (vardo::check::isCheckCommand(argc, argv))
        return vardo::check::runCheckCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    QApplication application(argc, argv);
    vardo::prepareApplication();
    const std::string file = vardo::enterStartPlace(argc, argv, launched, vardo::TForm1::lastWorkingDirectory());
    vardo::TForm1 form;
    form.show();
    if (!file.empty())
        form.openForEdit(file);
    return application.exec();
}
