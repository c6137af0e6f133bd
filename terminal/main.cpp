#include <QApplication>
#include <csignal>

#include "audio/audio_port.h"
#include "terminal/command_line.h"
#include "terminal/main_window.h"
#include "terminal/quit_signals.h"

int main(int argc, char* argv[]) {
    // A pipe whose reader has gone (a capture, standard error) fails the
    // write with EPIPE, reported like a full disk, instead of ending us.
    std::signal(SIGPIPE, SIG_IGN);
    if (const auto status = tavirel::AnswerInformationOptions(argc, argv))
        return *status;
    // First of all, so that a quit signal is a clean exit from the start.
    tavirel::CatchQuitSignals();
    QApplication app(argc, argv);
    tavirel::UseSoundCard();
    const auto window = tavirel::MainWindow::Create();
    if (!window)
        return 0;
    if (const auto sound = tavirel::AsksForSoundCard(argc, argv)) {
        window->State()->portNumber = tavirel::kSoundCardPort;
        window->State()->sound.output = sound->output;
        window->State()->sound.input = sound->input;
    }
    tavirel::QuitSignals quitSignals;
    tavirel::CloseOnQuitSignals(quitSignals, window.get());
    window->show();
    return QApplication::exec();
}
