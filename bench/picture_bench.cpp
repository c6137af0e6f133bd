// The paper preview following the typing in a 30 KB picture: the paper laid
// out again, and one keystroke through to the repainted preview (offscreen).
// Run: build/bench/bench/tavirel_picture_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <cstdlib>
#include <memory>
#include <string>

#include "dialogs/paper_preview.h"
#include "dialogs/picture_editor.h"
#include "picture/paper.h"
#include "picture/picture_file.h"
#include "resources/ids.h"

namespace {

using namespace tavirel;

// The overstruck pictures beside the repository, one after another, to 30 KB.
std::string Picture30K() {
    std::string file;
    const char* names[] = {"emoji_fish_ita2.txt", "emoji_apple_ita2.txt", "emoji_shark_ita2.txt",
                           "emoji_shell_ita2.txt"};
    while (file.size() < 30 * 1024) {
        for (const char* name : names) {
            QFile in(QStringLiteral(TAVIREL_TESTDATA "/overstrike/") + QLatin1String(name));
            if (!in.open(QIODevice::ReadOnly))
                std::abort();
            file += in.readAll().toStdString();
        }
    }
    return DisplayFromFile(file);
}

void BM_LayOutPaper30K(benchmark::State& state) {
    const std::string display = Picture30K();
    const std::u16string text(display.begin(), display.end());
    for (auto _ : state)
        benchmark::DoNotOptimize(LayOutPaper(text, {}));
    state.counters["characters"] = static_cast<double>(text.size());
}
BENCHMARK(BM_LayOutPaper30K)->Unit(benchmark::kMillisecond);

// A character typed in the middle of the picture, the preview laid out again
// and the visible part of its paper painted.
void BM_KeystrokeToPreview30K(benchmark::State& state) {
    const std::unique_ptr<TemplateDialog> editor(BuildPictureEditor(nullptr, nullptr));
    auto* edit = editor->ItemAs<QPlainTextEdit>(IDC_PICTURE_TEXT);
    edit->setPlainText(QString::fromStdString(Picture30K()));
    editor->show();
    auto* preview = editor->findChild<PaperPreview*>();
    preview->ShowBeside(editor.get());
    QApplication::processEvents();
    QTextCursor cursor(edit->document());
    cursor.setPosition(edit->document()->characterCount() / 2);
    int typed = 0;
    for (auto _ : state) {
        // Type and rub out in turn, so the picture stays the same size.
        if (typed++ % 2 == 0)
            cursor.insertText(QStringLiteral("X"));
        else
            cursor.deletePreviousChar();
        preview->Refresh();
        preview->View()->repaint();
    }
    state.counters["rows"] = static_cast<double>(preview->CurrentPaper().rows.size());
}
BENCHMARK(BM_KeystrokeToPreview30K)->Unit(benchmark::kMillisecond);

}  // namespace
