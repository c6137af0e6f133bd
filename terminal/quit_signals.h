// SIGTERM, SIGINT and SIGHUP end the program as a clean close: the handler
// only writes to a pipe, and the user-interface thread, woken by the pipe,
// closes the connection and leaves the event loop.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavirel {

class TerminalWindow;

// Catches the three signals from now on. What arrives waits in the pipe until
// a QuitSignals watches it, so a signal that comes before the window exists
// still ends the program cleanly. False when the pipe cannot be made.
bool CatchQuitSignals();

// Reports the caught signals on the thread that made it (a running event
// loop is needed for that).
class QuitSignals : public QObject {
    Q_OBJECT
  public:
    explicit QuitSignals(QObject* parent = nullptr);

  signals:
    void Received(int signalNumber);

  private:
    void Drain();
    QSocketNotifier* notifier_ = nullptr;
};

// On a quit signal: closes the window's connection without asking (queued
// writes cancelled, port released, DTR dropped, lock removed) and ends the
// event loop with exit code 0.
void CloseOnQuitSignals(QuitSignals& source, TerminalWindow* window);

}  // namespace tavirel
