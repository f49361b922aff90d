// Starts and ends at once, for the start-up benchmark: "window" starts the editor as its main()
// does and stops once the window is shown and painted; "bare" does the same with an empty Qt
// window, the floor; "text" with a window showing one line in the default face, the floor of any
// window with text (it pays for starting fontconfig and loading one face).
#include "app/form1.h"
#include "app/startup.h"

#include <QApplication>
#include <QLabel>
#include <QStandardPaths>
#include <cstring>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (argc > 1 && std::strcmp(argv[1], "window") == 0) {
        vardo::prepareApplication();
        vardo::TForm1 form;
        form.show();
        QApplication::processEvents();
        return 0;
    }
    QWidget window;
    window.resize(847, 537);
    if (argc > 1 && std::strcmp(argv[1], "text") == 0)
        new QLabel(QStringLiteral("QuakeC"), &window);
    window.show();
    QApplication::processEvents();
    return 0;
}
