// The paper preview following the typing in a 30 KB and a 1 MB picture: the
// paper laid out whole, and one key through the editor to the repainted
// preview (offscreen), with the process's peak memory.
// Run: build/bench/bench/tavirel_picture_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTextCursor>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "dialogs/file_picker.h"
#include "dialogs/paper_preview.h"
#include "dialogs/picture_editor.h"
#include "picture/paper.h"
#include "picture/picture_file.h"
#include "resources/ids.h"

namespace {

using namespace tavirel;

// The overstruck pictures beside the repository, one after another, to the
// given size.
std::string PictureFile(std::size_t bytes) {
    std::string file;
    const char* names[] = {"emoji_fish_ita2.txt", "emoji_apple_ita2.txt", "emoji_shark_ita2.txt",
                           "emoji_shell_ita2.txt"};
    while (file.size() < bytes) {
        for (const char* name : names) {
            QFile in(QStringLiteral(TAVIREL_TESTDATA "/overstrike/") + QLatin1String(name));
            if (!in.open(QIODevice::ReadOnly))
                std::abort();
            file += in.readAll().toStdString();
        }
    }
    return file;
}

constexpr std::size_t k30K = 30 * 1024;
constexpr std::size_t k1M = 1024 * 1024;

void BM_LayOutPaper(benchmark::State& state) {
    const std::string display =
        DisplayFromFile(PictureFile(static_cast<std::size_t>(state.range(0))));
    const std::u16string text(display.begin(), display.end());
    for (auto _ : state)
        benchmark::DoNotOptimize(LayOutPaper(text, {}));
    state.counters["characters"] = static_cast<double>(text.size());
}
BENCHMARK(BM_LayOutPaper)->Arg(k30K)->Arg(k1M)->Unit(benchmark::kMillisecond);

// Counts the paints of a widget.
class PaintCount : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void Key(QWidget* to, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

// The picture loaded through "Load File" and the preview opened, as the
// operator does; then a key typed into the editor at a place in the picture
// (a fraction of its length, the preview scrolled to the row it prints on),
// timed from the key to the end of the preview's next paint. Keys type "X"
// and rub it out in turn, so the picture stays the same size.
void BM_KeyToPaintedPreview(benchmark::State& state) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("picture.txt"));
    {
        QFile file(path);
        const std::string bytes = PictureFile(static_cast<std::size_t>(state.range(0)));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
                static_cast<qint64>(bytes.size()))
            std::abort();
    }
    SetFilePicker([&path](QWidget*, const FilePickRequest&) { return path; });
    const std::unique_ptr<TemplateDialog> editor(BuildPictureEditor(nullptr, nullptr));
    editor->show();
    editor->ItemAs<QPushButton>(IDC_LOAD_FILE)->click();
    editor->findChild<QPushButton*>(QStringLiteral("previewButton"))->click();
    auto* preview = editor->findChild<PaperPreview*>();
    auto* edit = editor->ItemAs<QPlainTextEdit>(IDC_PICTURE_TEXT);
    QApplication::processEvents();

    const int length = edit->document()->characterCount() - 1;
    const int at = static_cast<int>(length * state.range(1) / 100);
    QTextCursor cursor(edit->document());
    cursor.setPosition(at);
    edit->setTextCursor(cursor);
    const auto row = static_cast<int>(edit->toPlainText().left(at).count(QLatin1Char('^')));
    preview->findChild<QScrollArea*>()->ensureVisible(
        0, static_cast<int>(preview->View()->CellRect(row, 0).center().y()), 0, 100);
    PaintCount counter;
    preview->View()->installEventFilter(&counter);
    QApplication::processEvents();

    std::vector<double> keys;
    QElapsedTimer clock;
    for (auto _ : state) {
        const int before = counter.paints;
        clock.start();
        if (keys.size() % 2 == 0)
            Key(edit, Qt::Key_X, QStringLiteral("X"));
        else
            Key(edit, Qt::Key_Backspace, QString());
        while (counter.paints == before && !clock.hasExpired(10'000))
            QApplication::processEvents();
        keys.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(keys.begin(), keys.end());
    state.counters["key_median_ms"] = keys[keys.size() / 2];
    state.counters["key_max_ms"] = keys.back();
    state.counters["rows"] = static_cast<double>(preview->CurrentPaper().rows.size());
    state.counters["peak_MiB"] = static_cast<double>(bench::PeakRssMiB());
    SetFilePicker(nullptr);
}
// Arguments: the file's size, and where the key goes in percent of the text.
BENCHMARK(BM_KeyToPaintedPreview)
    ->Args({k30K, 50})
    ->Args({k1M, 0})
    ->Args({k1M, 50})
    ->Args({k1M, 100})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
