#include <QApplication>

#include "terminal/command_line.h"
#include "terminal/main_window.h"
#include "terminal/quit_signals.h"

int main(int argc, char* argv[]) {
    if (const auto status = tavirel::AnswerInformationOptions(argc, argv))
        return *status;
    // First of all, so that a quit signal is a clean exit from the start.
    tavirel::CatchQuitSignals();
    QApplication app(argc, argv);
    const auto window = tavirel::MainWindow::Create();
    if (!window)
        return 0;
    tavirel::QuitSignals quitSignals;
    tavirel::CloseOnQuitSignals(quitSignals, window.get());
    window->show();
    return QApplication::exec();
}
