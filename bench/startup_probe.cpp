// Starts and ends at once, for the start-up benchmark: "window" starts the editor as its main()
// does and stops once the window is shown and painted; "bare" does the same with an empty Qt
// window, the floor.
#include "app/form1.h"
#include "app/startup.h"

#include <QApplication>
#include <cstring>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "window") == 0) {
        vardo::prepareApplication();
        vardo::TForm1 form;
        form.show();
        QApplication::processEvents();
        return 0;
    }
    QWidget window;
    window.resize(847, 537);
    window.show();
    QApplication::processEvents();
    return 0;
}
