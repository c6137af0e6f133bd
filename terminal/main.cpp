#include <QApplication>

#include "code/ita2.h"
#include "terminal/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    tavirel::BuildReceiveTable();
    tavirel::MainWindow window;
    window.show();
    return QApplication::exec();
}
