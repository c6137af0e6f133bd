// Renders the main window after a file has arrived on the terminal screen, line
// by line as a teleprinter would send it, and saves it as a PNG. Used for the
// README's picture: tavirel-screenshot IN.txt OUT.png
// With --picture-editor, the picture editor holding IN.txt beside its paper
// preview instead; with --utilities, the Utilities dialog after converting
// IN.txt to ITA2 (which writes IN.ita beside it); with --sound-card, the
// sound card as the line, the waterfall showing the text's tones as a radio
// would hear them, a little off tune and in noise, while it arrives.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "audio/sound_monitor.h"
#include "modem/modulator.h"
#include "modem/text.h"

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

// The text's tones at the line's pace, into what the waterfall reads, for as
// long as the text lasts on the air or the panel takes to fill.
void FeedTheWaterfall(const QByteArray& text) {
    tavirel::ModemSettings air;
    air.mark = 2140;  // a little off the line's 2125 Hz, as a station found by ear is
    tavirel::BaudotSender sender;
    std::vector<std::uint8_t> codes;
    tavirel::TextToCodes(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                         sender, codes);
    std::vector<float> audio(static_cast<std::size_t>(air.sampleRate), 0.0f);  // a quiet second
    tavirel::Modulator modulator(air);
    modulator.Begin(audio);
    for (const std::uint8_t code : codes)
        modulator.Send(code, audio);
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    tavirel::SoundMonitor& monitor = tavirel::TheSoundMonitor();
    monitor.running = true;
    const auto block = static_cast<std::size_t>(air.sampleRate / 50);
    const std::size_t end = std::min(audio.size(), static_cast<std::size_t>(air.sampleRate * 12));
    QElapsedTimer clock;
    clock.start();
    for (std::size_t at = 0; at < end; at += block) {
        std::vector<float> part(
            audio.begin() + static_cast<std::ptrdiff_t>(at),
            audio.begin() + static_cast<std::ptrdiff_t>(std::min(at + block, end)));
        for (float& sample : part)
            sample = 0.3f * sample + noise(random);
        monitor.PushInput(part.data(), part.size(), air.sampleRate);
        while (clock.elapsed() <
               static_cast<qint64>(static_cast<double>(at + block) * 1000 / air.sampleRate)) {
            QApplication::processEvents();
            QThread::msleep(5);
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const bool editor = argc == 4 && std::strcmp(argv[1], "--picture-editor") == 0;
    const bool utilities = argc == 4 && std::strcmp(argv[1], "--utilities") == 0;
    const bool sound = argc == 4 && std::strcmp(argv[1], "--sound-card") == 0;
    if (editor || utilities || sound) {
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s [--picture-editor|--utilities|--sound-card] IN.txt OUT.png\n",
                     argv[0]);
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
    if (sound) {
        window->State()->portNumber = tavirel::kSoundCardPort;
        window->LineSettingsChanged();
    }
    window->show();
    QApplication::processEvents();
    if (sound)
        FeedTheWaterfall(text);
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
