#include "terminal/waterfall.h"

#include <QAbstractButton>

#include "tests/dialogs/widget_test.h"
#include "tests/support/modem_channel.h"

namespace tavirel {
namespace {

// A 1 kHz tone draws at least ten rows a second, bright under 1 kHz and
// dark elsewhere. A click sets the lower tone where it was made, as far as
// both tones stay between 300 Hz and 3 kHz, in the monitor and the record
// alike. The AFC box writes both too; Sync brings the record's values back.
TEST(WaterfallTest, RowsShowTheToneClicksTuneAndControlsReachMonitorAndRecord) {
    SoundMonitor monitor;
    SoundSettings settings;
    Waterfall panel{monitor};
    panel.SetSettings(&settings);
    panel.resize(700, panel.height());
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QWidget* area = panel.SpectrumArea();
    const auto xOf = [&](double hz) { return int(hz / kWaterfallTopHz * area->width()); };
    const std::vector<float> tone = test::Signal(8000, 1.0, 1000, 0.3);
    for (std::uint64_t second = 1; second <= 8; ++second) {
        monitor.PushInput(tone.data(), tone.size(), 8000);
        panel.Step();
        ASSERT_GE(panel.Rows(), 10 * second);
    }
    QApplication::processEvents();
    const QImage shot = area->grab().toImage();
    EXPECT_GT(QColor(shot.pixel(xOf(1000), shot.height() - 3)).value(), 200);
    EXPECT_LT(QColor(shot.pixel(xOf(500), shot.height() - 3)).value(), 100);

    const struct {
        const char* name;
        double clickedHz, shift, mark;
    } rows[] = {{"in the band", 1500, 170, 1500},
                {"below 300 Hz", 100, 170, 300},
                {"wide shift at the top", 2500, 850, 2150}};
    for (const auto& r : rows) {
        settings.shift = r.shift;
        QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(xOf(r.clickedHz), area->height() / 2));
        EXPECT_NEAR(monitor.mark.load(), r.mark, kWaterfallTopHz / area->width()) << r.name;
        EXPECT_EQ(settings.mark, monitor.mark.load()) << r.name;
    }

    auto* afc = panel.findChild<QAbstractButton*>();
    ASSERT_NE(afc, nullptr);
    afc->click();
    EXPECT_EQ(std::pair(monitor.afc.load(), settings.afc), std::pair(false, false));
    std::tie(settings.afc, settings.squelch, settings.mark) = std::tuple(true, 0.8, 1275.0);
    panel.Sync();
    EXPECT_EQ(std::tuple(monitor.afc.load(), monitor.squelch.load(), monitor.mark.load(),
                         afc->isChecked()),
              std::tuple(true, 0.8, 1275.0, true));
}

}  // namespace
}  // namespace tavirel
