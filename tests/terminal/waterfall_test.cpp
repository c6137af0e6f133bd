#include "terminal/waterfall.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPaintEvent>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

#include "dialogs/dialog_builder.h"
#include "link/port.h"
#include "terminal/main_window.h"
#include "tests/support/message_log.h"

namespace tavirel {
namespace {

std::vector<float> Tone(double rate, double seconds, double hz) {
    std::vector<float> out(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    return out;
}

// Counts the paints of a widget and the height of the last one.
struct PaintWatch : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            region = static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
    int paints = 0;
    QRegion region;
};

class WaterfallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        panel.SetSettings(&settings);
        panel.resize(700, panel.height());
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }
    void Push(const std::vector<float>& samples) {
        monitor.PushInput(samples.data(), samples.size(), 8000);
    }
    int XOf(double hz) const {
        return static_cast<int>(hz / kWaterfallTopHz * panel.SpectrumArea()->width());
    }

    SoundMonitor monitor;
    SoundSettings settings;
    Waterfall panel{monitor};
};

struct TuneRow {
    const char* name;
    double clickedHz, shift, mark;  // mark 0: where clicked
};

// A click sets the lower tone where it was made, as far as both tones stay
// between 300 Hz and 3 kHz, in the monitor and the record alike.
TEST_F(WaterfallTest, ClickTunesTheMark) {
    const TuneRow rows[] = {{"in the band", 1500, 170, 0},
                            {"low end", 2125, 850, 0},
                            {"below 300 Hz", 100, 170, 300},
                            {"upper tone above 3 kHz", 2950, 170, 2830},
                            {"wide shift at the top", 2500, 850, 2150}};
    QWidget* area = panel.SpectrumArea();
    const double pixelHz = kWaterfallTopHz / area->width();
    for (const TuneRow& r : rows) {
        settings.shift = r.shift;
        QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(XOf(r.clickedHz), area->height() / 2));
        const double expected = r.mark != 0 ? r.mark : r.clickedHz;
        EXPECT_NEAR(monitor.mark.load(), expected, r.mark != 0 ? 0 : pixelHz) << r.name;
        EXPECT_EQ(settings.mark, monitor.mark.load()) << r.name;
    }
}

// The controls write the monitor and the record; Sync brings the record's
// values back to both.
TEST_F(WaterfallTest, AfcAndSquelchReachTheMonitorAndTheRecord) {
    auto* afc = panel.findChild<QAbstractButton*>();
    ASSERT_NE(afc, nullptr);
    afc->click();
    EXPECT_EQ(std::pair(monitor.afc.load(), settings.afc), std::pair(false, false));
    settings.afc = true;
    settings.squelch = 0.8;
    settings.mark = 1275;
    panel.Sync();
    EXPECT_EQ(std::tuple(monitor.afc.load(), monitor.squelch.load(), monitor.mark.load()),
              std::tuple(true, 0.8, 1275.0));
    EXPECT_TRUE(afc->isChecked());
}

// A 1 kHz tone draws at least ten rows a second, bright under 1 kHz and
// dark elsewhere; a step with nothing new paints nothing, and a new row
// paints that row alone.
TEST_F(WaterfallTest, RowsShowTheToneAndOnlyNewRowsArePainted) {
    for (std::uint64_t second = 1; second <= 8; ++second) {
        Push(Tone(8000, 1.0, 1000));
        panel.Step();
        ASSERT_GE(panel.Rows(), 10 * second);
    }
    QApplication::processEvents();
    const QImage shot = panel.SpectrumArea()->grab().toImage();
    const int y = shot.height() - 3;
    EXPECT_GT(QColor(shot.pixel(XOf(1000), y)).value(), 200);
    EXPECT_LT(QColor(shot.pixel(XOf(500), y)).value(), 100);

    PaintWatch watch;
    panel.SpectrumArea()->installEventFilter(&watch);
    const std::uint64_t rows = panel.Rows();
    panel.Step();
    QApplication::processEvents();
    EXPECT_EQ(std::pair(panel.Rows(), watch.paints), std::pair(rows, 0));

    Push(Tone(8000, 0.0625, 1000));  // one row's worth
    panel.Step();
    EXPECT_EQ(panel.Rows(), rows + 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.paints > 0; }));
    EXPECT_EQ(watch.region.boundingRect().height(), 1);
}

// The panel shows while the sound card is the line; the window grows and
// shrinks by it, so the screen keeps its size.
TEST(WaterfallWindowTest, ShownForTheSoundCardAndTheScreenKeepsItsSize) {
    test::MessageLog log;
    const std::int32_t retries = std::exchange(ConnectRetryCount(), 0);
    SetPortOpener([](const std::string&) { return nullptr; });
    const std::unique_ptr<MainWindow> window = MainWindow::Create();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QSize screen = window->View()->size();
    EXPECT_FALSE(window->WaterfallPanel()->isVisible());
    // Settings: choose the port, Save, Done & Exit.
    for (const int port : {8, 0, 8}) {
        QTimer::singleShot(0, [port] {
            auto* d = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->ItemAs<QComboBox>(IDC_PORT)->setCurrentIndex(port);
            d->ItemAs<QAbstractButton>(IDC_SAVE)->click();
            d->ItemAs<QAbstractButton>(IDC_DONE)->click();
        });
        window->Command(CMD_SETTINGS);
        const bool shown = port == kSoundCardPort - 1;
        EXPECT_EQ(window->WaterfallPanel()->isVisible(), shown);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->View()->size() == screen; }))
            << shown << ": " << window->View()->size().height() << " for " << screen.height();
    }
    SetPortOpener(nullptr);
    ConnectRetryCount() = retries;
}

}  // namespace
}  // namespace tavirel
