// Renders the main window after a file has arrived on the terminal screen, line
// by line as a teleprinter would send it, and saves it as a PNG. Used for the
// README's picture: tavirel-screenshot IN.txt OUT.png
#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <cstdio>

#include "terminal/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.txt OUT.png\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray text = in.readAll();
    const auto window = tavirel::MainWindow::Create();
    if (!window)
        return 1;
    window->show();
    QApplication::processEvents();
    // Each line is painted before the next arrives, so overstrikes show.
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\r', start);
        end = end < 0 ? text.size() : end + 1;
        tavirel::WriteToScreen(window->View(), text.constData() + start,
                               static_cast<std::int32_t>(end - start));
        QApplication::processEvents();
        start = end;
    }
    return window->grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
