#include "terminal/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>

#include "link/connection.h"

namespace tavirel {

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeRead = -1;
int pipeWrite = -1;

extern "C" void OnQuitSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    // Full pipe: a quit is already waiting.
    [[maybe_unused]] const ssize_t n = write(pipeWrite, &byte, 1);
    errno = saved;
}

}  // namespace

bool CatchQuitSignals() {
    if (pipeRead < 0) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        pipeRead = fds[0];
        pipeWrite = fds[1];
    }
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kQuitSignals)
        sigaction(number, &action, nullptr);
    return true;
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (pipeRead < 0)
        return;
    notifier_ = new QSocketNotifier(pipeRead, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::Drain);
}

void QuitSignals::Drain() {
    unsigned char bytes[16];
    ssize_t n;
    int first = 0;
    while ((n = read(pipeRead, bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0 && first == 0)
            first = bytes[0];
    }
    if (first != 0)
        emit Received(first);
}

void CloseOnQuitSignals(QuitSignals& source, TerminalWindow* window) {
    QObject::connect(&source, &QuitSignals::Received, &source, [window](int) {
        CloseConnection(window);
        // Also ends a dialog's event loop that is running at the time.
        QCoreApplication::exit(0);
    });
}

}  // namespace tavirel
