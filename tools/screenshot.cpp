// Renders the main window after a file has arrived on the terminal screen, line
// by line as a teleprinter would send it, and saves it as a PNG. Used for the
// README's picture: tavirel-screenshot IN.txt OUT.png
// With --picture-editor, the picture editor holding IN.txt beside its paper
// preview instead; with --utilities, the Utilities dialog after converting
// IN.txt to ITA2 (which writes IN.ita beside it).
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <memory>

#include "dialogs/message_box.h"
#include "dialogs/paper_preview.h"
#include "dialogs/picture_editor.h"
#include "dialogs/utilities_dialog.h"
#include "picture/picture_file.h"
#include "terminal/main_window.h"

namespace {

int PictureEditorShot(const QString& in, const QByteArray& picture, const QString& out) {
    const std::unique_ptr<tavirel::TemplateDialog> editor(
        tavirel::BuildPictureEditor(nullptr, nullptr));
    editor->SetItemText(tavirel::IDC_LOADED_PATH, in);
    editor->SetItemText(tavirel::IDC_PICTURE_TEXT,
                        QString::fromLatin1(tavirel::DisplayFromFile(picture.toStdString())));
    editor->SetItemText(tavirel::IDC_SAVE_PATH, in + QStringLiteral(".mod"));
    editor->show();
    auto* preview = editor->findChild<tavirel::PaperPreview*>();
    preview->ShowBeside(editor.get());
    QApplication::processEvents();
    const QPixmap left = editor->grab();
    const QPixmap right = preview->grab();
    QPixmap both(left.width() + 8 + right.width(), std::max(left.height(), right.height()));
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, left);
    painter.drawPixmap(left.width() + 8, 0, right);
    painter.end();
    return both.save(out) ? 0 : 1;
}

int UtilitiesShot(const QString& in, const QString& out) {
    // The box that says the conversion is complete is answered unseen.
    tavirel::SetMessageHandler([](QWidget*, const QString&, const QString&, tavirel::MessageIcon,
                                  tavirel::MessageButtons) { return tavirel::IDOK; });
    const std::unique_ptr<tavirel::TemplateDialog> dialog(tavirel::BuildUtilitiesDialog(nullptr));
    dialog->SetItemText(tavirel::IDC_INPUT_PATH, in);
    dialog->show();
    auto* convert = dialog->ItemAs<QPushButton>(tavirel::IDC_TO_ITA2);
    convert->setFocus();
    convert->click();
    QApplication::processEvents();
    return dialog->grab().save(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const bool editor = argc == 4 && std::strcmp(argv[1], "--picture-editor") == 0;
    const bool utilities = argc == 4 && std::strcmp(argv[1], "--utilities") == 0;
    if (editor || utilities) {
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--picture-editor|--utilities] IN.txt OUT.png\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray text = in.readAll();
    if (utilities)
        return UtilitiesShot(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (editor)
        return PictureEditorShot(QFileInfo(in).fileName(), text, QString::fromLocal8Bit(argv[2]));
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
