// teleprinter-sim: a page teleprinter at the far end of a serial line, for
// exercising the terminal without the machine.
//
// What it models: a pseudo-terminal standing in for the serial port (a COMn
// link in a port folder points at its slave side); five-bit code with the
// US-TTY letters/figures assignment and unshift-on-space, or plain ASCII; the
// line's pace (each character keeps the printer busy for start + data + stop
// bits); a 72-column platen where CR returns without feeding (so lines can be
// overstruck), LF feeds without returning, the bell rings, and characters past
// the right margin pile up in the last column; typing back at the line's pace
// with its own shift handling, XON/XOFF and dropping the line.
//
// What it does not: line settings (baud, parity, stop bits) are not checked
// against what the terminal set, since a pty carries bytes, not bits; no
// framing or parity errors, breaks or line noise; no answer-back, local copy,
// paper-out, end-of-line bell or other mechanical features; no flow control
// of its own (it never sends XOFF because it falls behind: it remembers
// everything and only the print times show the pace).
//
// Headless (default): commands on stdin, one answer line each on stdout.
// --window: the same, plus a window showing the paper as it prints.

#include "printer.h"
#include "selftest.h"
#include "session.h"
#include "window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QSocketNotifier>

#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using tpsim::PrinterSettings;
using tpsim::Session;

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

void say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

[[noreturn]] void usageError(const QString& message) {
    std::fprintf(stderr, "teleprinter-sim: %s\n", message.toLocal8Bit().constData());
    std::exit(2);
}

bool writeOutputs(const tpsim::Paper& paper, const QString& textFile, const QString& pngFile) {
    bool ok = true;
    if (!textFile.isEmpty()) {
        QFile f(textFile);
        const QString text = paper.text(QLatin1Char('\n'));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write((text.isEmpty() ? text : text + QLatin1Char('\n')).toLatin1()) < 0) {
            std::fprintf(stderr, "teleprinter-sim: cannot write %s\n",
                         textFile.toLocal8Bit().constData());
            ok = false;
        }
    }
    if (!pngFile.isEmpty() && !paper.savePng(pngFile)) {
        std::fprintf(stderr, "teleprinter-sim: cannot write %s\n",
                     pngFile.toLocal8Bit().constData());
        ok = false;
    }
    return ok;
}

// Reads command lines from stdin without blocking the event loop.
class StdinReader : public QObject {
  public:
    StdinReader(Session& session, bool exitOnEof) : session_(session), exitOnEof_(exitOnEof) {
        notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { readSome(); });
    }

  private:
    void readSome() {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            return;
        }
        if (n <= 0) {
            notifier_->setEnabled(false);
            if (!pending_.isEmpty()) {
                session_.command(QString::fromUtf8(pending_));
                pending_.clear();
            }
            if (exitOnEof_) {
                session_.finishWhenIdle();
            }
            return;
        }
        pending_.append(buf, n);
        qsizetype nl;
        while ((nl = pending_.indexOf('\n')) >= 0) {
            QByteArray line = pending_.left(nl);
            pending_.remove(0, nl + 1);
            if (line.endsWith('\r')) {
                line.chop(1);
            }
            session_.command(QString::fromUtf8(line));
        }
    }

    Session& session_;
    bool exitOnEof_;
    QSocketNotifier* notifier_;
    QByteArray pending_;
};

}  // namespace

int main(int argc, char* argv[]) {
    // In every mode: a reader that leaves makes a failed write, not an end.
    std::signal(SIGPIPE, SIG_IGN);
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        window = window || std::strcmp(argv[i], "--window") == 0;
    }
    // Without a window, render off screen so no display is needed.
    if (!window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("teleprinter-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated teleprinter on a pseudo-terminal serial line."));
    parser.addHelpOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Port name of the link (default COM3)."),
                                     QStringLiteral("COMn"), QStringLiteral("COM3"));
    const QCommandLineOption folderOpt(QStringLiteral("port-folder"),
                                       QStringLiteral("Folder the port link is made in."),
                                       QStringLiteral("dir"));
    const QCommandLineOption baudOpt(QStringLiteral("baud"), QStringLiteral("Baud (default 45)."),
                                     QStringLiteral("n"), QStringLiteral("45"));
    const QCommandLineOption dataOpt(QStringLiteral("data-bits"),
                                     QStringLiteral("Data bits (default 5)."), QStringLiteral("n"),
                                     QStringLiteral("5"));
    const QCommandLineOption stopOpt(QStringLiteral("stop-bits"),
                                     QStringLiteral("Stop bits: 1, 1.5 or 2 (default 1.5)."),
                                     QStringLiteral("n"), QStringLiteral("1.5"));
    const QCommandLineOption noUsosOpt(QStringLiteral("no-unshift-on-space"),
                                       QStringLiteral("A space does not return to letters."));
    const QCommandLineOption asciiOpt(QStringLiteral("ascii"),
                                      QStringLiteral("Bytes are ASCII characters, not codes."));
    const QCommandLineOption columnsOpt(QStringLiteral("columns"),
                                        QStringLiteral("Platen width (default 72)."),
                                        QStringLiteral("n"), QStringLiteral("72"));
    const QCommandLineOption textOpt(QStringLiteral("paper-text"),
                                     QStringLiteral("Write the paper as text on exit."),
                                     QStringLiteral("file"));
    const QCommandLineOption pngOpt(QStringLiteral("paper-png"),
                                    QStringLiteral("Write the paper as PNG on exit."),
                                    QStringLiteral("file"));
    const QCommandLineOption printOpt(
        QStringLiteral("print"),
        QStringLiteral("Print an ASCII text file without a line, write the paper, exit."),
        QStringLiteral("file"));
    const QCommandLineOption windowOpt(QStringLiteral("window"),
                                       QStringLiteral("Show the paper in a window."));
    const QCommandLineOption selfTestOpt(QStringLiteral("self-test"),
                                         QStringLiteral("Run the built-in checks and exit."));
    parser.addOptions({portOpt, folderOpt, baudOpt, dataOpt, stopOpt, noUsosOpt, asciiOpt,
                       columnsOpt, textOpt, pngOpt, printOpt, windowOpt, selfTestOpt});
    parser.process(app);

    if (parser.isSet(selfTestOpt)) {
        return tpsim::runSelfTest();
    }

    bool ok = false;
    const double baud = parser.value(baudOpt).toDouble(&ok);
    if (!ok || baud <= 0) {
        usageError(QStringLiteral("--baud must be a positive number"));
    }
    const int dataBits = parser.value(dataOpt).toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8) {
        usageError(QStringLiteral("--data-bits must be 5 to 8"));
    }
    const QString stop = parser.value(stopOpt);
    if (stop != QLatin1String("1") && stop != QLatin1String("1.5") && stop != QLatin1String("2")) {
        usageError(QStringLiteral("--stop-bits must be 1, 1.5 or 2"));
    }
    const int columns = parser.value(columnsOpt).toInt(&ok);
    if (!ok || columns < 1) {
        usageError(QStringLiteral("--columns must be at least 1"));
    }

    PrinterSettings settings;
    settings.ascii = parser.isSet(asciiOpt);
    settings.unshiftOnSpace = !parser.isSet(noUsosOpt);
    settings.columns = columns;
    settings.charTimeMs = tpsim::characterTimeMs(baud, dataBits, stop.toDouble());
    const QString textFile = parser.value(textOpt);
    const QString pngFile = parser.value(pngOpt);

    if (parser.isSet(printOpt)) {
        QFile in(parser.value(printOpt));
        if (!in.open(QIODevice::ReadOnly)) {
            usageError(QStringLiteral("cannot read %1").arg(in.fileName()));
        }
        tpsim::Printer printer(settings);
        printer.printText(in.readAll());
        return writeOutputs(printer.paper(), textFile, pngFile) ? 0 : 1;
    }

    if (!parser.isSet(folderOpt)) {
        usageError(QStringLiteral("--port-folder is needed (or --print, --self-test)"));
    }

    Session session(settings);
    QString error;
    if (!session.openLine(parser.value(folderOpt), parser.value(portOpt), &error)) {
        usageError(error);
    }

    // Ending by signal writes the paper and removes the link like quit does.
    if (::pipe(signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::signal(SIGHUP, onSignal);
    }

    QObject::connect(&session, &Session::answer, &app, &say);
    QObject::connect(
        &session, &Session::finished, &app, [] { QApplication::quit(); }, Qt::QueuedConnection);
    StdinReader stdinReader(session, !window);

    std::unique_ptr<tpsim::Window> view;
    if (window) {
        view = std::make_unique<tpsim::Window>(session);
        view->show();
        QApplication::setQuitOnLastWindowClosed(true);
    }

    say(QStringLiteral("ready %1 %2").arg(parser.value(portOpt), session.line().slavePath()));
    const int rc = app.exec();
    // Drop the line while the window is still there for anything it sent.
    session.line().hangUp();
    view.reset();
    const bool written = writeOutputs(session.printer().paper(), textFile, pngFile);
    return rc != 0 ? rc : (written ? 0 : 1);
}
