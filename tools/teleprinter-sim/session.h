// One run of the simulator: the printer, the line and the commands that
// drive them, shared by the stdin interface and the window.
#pragma once

#include "ita2.h"
#include "line.h"
#include "printer.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace tpsim {

class Session : public QObject {
    Q_OBJECT
  public:
    Session(const PrinterSettings& settings, QObject* parent = nullptr);

    bool openLine(const QString& folder, const QString& port, QString* error);
    Line& line() { return line_; }
    const Printer& printer() const { return printer_; }
    Printer& printer() { return printer_; }

    // Types text back to the terminal ("\r", "\n", "\a" written as escapes
    // stand for CR, LF, BEL). Returns an error message instead if the text
    // cannot be sent; otherwise done(lost) runs after the last byte went out.
    QString type(const QString& text, std::function<void(int lost)> done);
    // Sends a file's text as type does, but all in one write at the pty's own
    // speed, as a fast machine or a modem would hand it over.
    QString burst(const QString& path, std::function<void(int lost)> done);
    void sendControl(std::uint8_t byte, std::function<void(int lost)> done);
    void hangUp();

    // Commands are answered strictly in order, one line each, even when one
    // of them (typing) takes a while.
    void command(const QString& line);
    // After the pending commands are answered, emit finished().
    void finishWhenIdle();

  signals:
    void answer(const QString& line);
    void finished();

  private:
    QString send(const std::string& text, bool paced, std::function<void(int lost)> done);
    void runNext();
    void execute(const QString& line);
    void done(const QString& reply);

    PrinterSettings settings_;
    Printer printer_;
    Encoder encoder_;
    Line line_;
    std::deque<QString> pending_;
    bool running_ = false;
    bool finishing_ = false;
};

}  // namespace tpsim
