#include <QApplication>

#include "code/ita2.h"
#include "terminal/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    tavirel::BuildReceiveTable();
    const auto window = tavirel::MainWindow::Create();
    if (!window)
        return 0;
    window->show();
    return QApplication::exec();
}
