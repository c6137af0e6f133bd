#include "terminal/terminal_view.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QScreen>
#include <QScrollBar>

#include "tests/dialogs/widget_test.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

// The pixels are those of one known font, whatever fonts the machine has.
constexpr char kFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr char kFontFamily[] = "DejaVu Sans Mono";

constexpr auto Prints = [](int b) { return b != 7 && b != 8 && b != 10 && b != 13; };

struct Screen {
    explicit Screen(int fontHeight = -12) {
        state.logFont.faceName = kFontFamily;
        state.logFont.height = fontHeight;
        view.SetState(&state);
        ApplyFont(&view, &state);
    }

    void Show(QSize size) {
        view.resize(size);
        frame.resize(size);
        frame.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&frame));
    }
    void Show(int cols, int rows) { Show(QSize(cols * state.charWidth, rows * state.lineHeight)); }
    void Write(const std::string& b) { WriteToScreen(&view, b.data(), std::int32_t(b.size())); }
    // The pixels on screen (the backing store), not a fresh rendering.
    QImage Shown() {
        const QRect at(view.viewport()->mapTo(&frame, QPoint()), view.viewport()->size());
        return QGuiApplication::primaryScreen()
            ->grabWindow(frame.winId(), at.x(), at.y(), at.width(), at.height())
            .toImage();
    }
    QImage Cell(const QImage& shown, int row, int column) const {
        return shown.copy(column * state.charWidth - state.hScrollPos,
                          row * state.lineHeight - state.vScrollPos, state.charWidth,
                          state.lineHeight);
    }

    TtyState state;
    QWidget frame;
    TerminalView view{&frame};
};

constexpr int (*kChannels[])(QRgb) = {qRed, qGreen, qBlue};

// How each byte looks alone in a cell, with blank cells all round it.
struct Glyphs {
    explicit Glyphs(int fontHeight = -12) : screen(fontHeight) {
        screen.Show(70, 20);
        for (int b = 0; b < 256; ++b) {
            screen.state.row = 1 + b / 32 * 2;
            screen.state.column = 1 + b % 32 * 2;
            if (Prints(b))
                screen.Write(std::string(1, char(b)));
        }
        screen.view.UpdateNow();
        const QImage shown = screen.Shown();
        blank = screen.Cell(shown, 0, 0);
        for (int b = 0; b < 256; ++b)
            of[b] = screen.Cell(shown, 1 + b / 32 * 2, 1 + b % 32 * 2);
    }

    // Each strike darkens what it covers by its own coverage; inverted at the caret.
    bool Shows(const QImage& cell, const std::string& strikes, bool caret) const {
        if (cell.size() != blank.size())
            return false;
        for (int y = 0; y < cell.height(); ++y) {
            for (int x = 0; x < cell.width(); ++x) {
                for (const auto channel : kChannels) {
                    const double bg = channel(blank.pixel(x, y));
                    double ink = bg;
                    for (const char c : strikes)
                        ink *= channel(of[std::uint8_t(c)].pixel(x, y)) / std::max(1.0, bg);
                    if (std::abs(channel(cell.pixel(x, y)) - qRound(caret ? 255 - ink : ink)) > 3)
                        return false;
                }
            }
        }
        return true;
    }

    Screen screen;
    QImage blank;
    QImage of[256];
};

class TerminalViewTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_GE(QFontDatabase::addApplicationFont(QLatin1String(kFontFile)), 0);
        QApplication::setCursorFlashTime(0);  // a steady caret
    }
    void SetUp() override {
        ASSERT_EQ(QFontInfo(s.view.TerminalFont()).family(), QLatin1String(kFontFamily));
        s.Show(80, 27);
    }

    // The cells wholly in sight that do not show every strike the buffer keeps
    // for them (inverted at the caret).
    std::string Differences(const Glyphs& glyphs, bool paintNow = true) {
        if (paintNow)
            s.view.UpdateNow();
        QApplication::processEvents();
        const QImage shown = s.Shown();
        EXPECT_EQ(shown.size(), s.view.viewport()->size());
        const TtyState& st = s.state;
        std::string wrong;
        for (int row = (st.vScrollPos + st.lineHeight - 1) / st.lineHeight;
             (row + 1) * st.lineHeight - st.vScrollPos <= shown.height(); ++row) {
            for (int column = (st.hScrollPos + st.charWidth - 1) / st.charWidth;
                 column < 80 && (column + 1) * st.charWidth - st.hScrollPos <= shown.width();
                 ++column) {
                std::string strikes;
                ForEachStrike(st, row, column, [&](std::uint8_t b) { strikes += char(b); });
                const bool caret = s.view.CaretExists() && row == st.row && column == st.column;
                if (!glyphs.Shows(s.Cell(shown, row, column), strikes, caret) && wrong.size() < 200)
                    wrong += ' ' + std::to_string(row) + ',' + std::to_string(column);
            }
        }
        return wrong;
    }

    Screen s;
};

// A cell's ink is its own, however it was painted, and never reaches a
// neighbour. Blocks fill exact parts of the cell, shades a quarter per step.
TEST_F(TerminalViewTest, EveryGlyphStaysInItsCellAndOverstruckArtSurvivesEveryRepaint) {
    const Glyphs glyphs;
    const int w = glyphs.blank.width(), h = glyphs.blank.height();
    const auto inked = [&](int b, const QRect& part) {
        int n = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                n += part.contains(x, y) && glyphs.of[b].pixel(x, y) == qRgb(0, 0, 0);
        }
        return n;
    };
    const QRect all(0, 0, w, h);
    const std::pair<int, QRect> blocks[] = {{0xDB, all},
                                            {0xDF, QRect(0, 0, w, h / 2)},
                                            {0xDC, QRect(0, h / 2, w, h - h / 2)},
                                            {0xDD, QRect(0, 0, w / 2, h)},
                                            {0xDE, QRect(w / 2, 0, w - w / 2, h)}};
    for (const auto& [b, part] : blocks) {
        const int area = part.width() * part.height();
        EXPECT_EQ(std::pair(inked(b, part), inked(b, all)), std::pair(area, area)) << b;
    }
    for (const int b : {0xB0, 0xB1, 0xB2})
        EXPECT_NEAR(inked(b, all), w * h * (b - 0xAF) / 4, w + h) << b;

    std::string rows;
    for (int b = 0; b < 256; ++b) {
        if (Prints(b))
            rows += char(b);
        if (b % 64 == 63)
            rows += "\r\n";
    }
    s.Write(rows);
    s.view.UpdateNow();
    for (int row = 0; row < 4; ++row) {
        for (int column = row % 2; column < 64; column += 2) {
            s.state.row = row;
            s.state.column = column;
            s.Write(std::string(1, char(s.state.screen[std::size_t(row * 80 + column)])));
        }
    }
    EXPECT_EQ(Differences(glyphs), "") << "glyphs";

    // Overstruck art looks the same after any repaint.
    const std::string fish = test::ReadFile(TAVIREL_TESTDATA "/overstrike/emoji_fish_ita2.txt");
    ASSERT_FALSE(fish.empty());
    s.Show(80, 40);
    s.Write("\r\n" + fish);
    EXPECT_EQ(Differences(glyphs), "") << "in one write";

    ScrollTerminalVert(&s.view, SbBottom, 0);
    s.view.UpdateNow();
    ScrollTerminalVert(&s.view, SbTop, 0);
    for (int i = 0; i < 7; ++i) {
        ScrollTerminalVert(&s.view, SbLineDown, 0);
        s.view.UpdateNow();
    }
    ScrollTerminalVert(&s.view, SbTop, 0);
    EXPECT_EQ(Differences(glyphs), "") << "scrolled away and back";

    s.Show(60, 30);
    s.view.UpdateNow();
    s.Show(80, 40);
    EXPECT_EQ(Differences(glyphs), "") << "resized";

    // Past 320 lines the buffer shifts on every line feed.
    s.Write(std::string(320, '\n') + fish);
    ScrollTerminalVert(&s.view, SbBottom, 0);
    EXPECT_EQ(Differences(glyphs), "") << "shifted";

    const Glyphs larger(-16);
    s.state.logFont.height = -16;
    ApplyFont(&s.view, &s.state);
    ScrollTerminalVert(&s.view, SbBottom, 0);
    EXPECT_EQ(Differences(larger), "") << "new font";
}

// At the default size the cursor row stays in sight, with or without the horizontal bar.
TEST_F(TerminalViewTest, BarsFollowTheRangesAndTheCursorRowStaysInSight) {
    QScrollBar* v = s.view.verticalScrollBar();
    const TtyState& state = s.state;
    EXPECT_TRUE(v->isVisible());
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    // A dragged thumb moves the view when released.
    v->setSliderDown(true);
    v->setSliderPosition(100);
    EXPECT_EQ(state.vScrollPos, state.lineHeight);
    v->setSliderDown(false);
    EXPECT_EQ(std::pair(state.vScrollPos, v->value()), std::pair(100, 100));
    s.view.resize(100 * state.charWidth, 320 * state.lineHeight);
    QCoreApplication::processEvents();
    EXPECT_FALSE(v->isVisible());
    EXPECT_FALSE(s.view.horizontalScrollBar()->isVisible());
    const QSize hint = s.view.sizeHint();
    for (const int width : {hint.width(), hint.width() / 2}) {
        for (const int lines : {24, 25, 26, 27, 60, 274, 275, 299, 320}) {
            Screen fresh;
            fresh.Show(QSize(width, hint.height()));
            fresh.Write("\r\n" + std::string(std::size_t(lines - 1), '\n'));
            const PixelRect cell = CellRect(fresh.state, fresh.state.row, fresh.state.column);
            SCOPED_TRACE(testing::Message() << width << " " << lines);
            EXPECT_GE(fresh.view.viewport()->height(), 27 * fresh.state.lineHeight);
            EXPECT_TRUE(fresh.view.viewport()->rect().contains(
                QRect(cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top)));
        }
    }
}

TEST_F(TerminalViewTest, PaintsAtOnceWhenQuietAndOnceAFrameUnderAFlood) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    s.view.viewport()->installEventFilter(&counter);
    QTest::qWait(40);  // longer than a frame
    counter.paints = 0;
    s.Write("A");
    for (int pass = 0; pass < 5 && counter.paints == 0; ++pass)
        QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);

    std::string flood;
    for (int i = 0; flood.size() < 64 * 1024; ++i)
        flood += "THE QUICK BROWN FOX " + std::to_string(i) + "\r\n";
    counter.paints = 0;
    QElapsedTimer took;
    took.start();
    for (std::size_t at = 0; at < flood.size(); at += 1024) {
        s.Write(flood.substr(at, 1024));
        QApplication::processEvents();
    }
    EXPECT_LE(counter.paints, took.elapsed() / 15 + 2);
    const Glyphs glyphs;
    std::string wrong;
    EXPECT_TRUE(test::Eventually([&] {
        wrong = Differences(glyphs, false);
        return wrong.empty();
    })) << wrong;
}

// Lines faster than the paints scroll the inverted cell; it must not be left
// behind. 10 s without a key or a character, and the caret stops blinking, shown.
TEST_F(TerminalViewTest, TheCaretLeavesNoGhostAndStopsBlinkingWhenIdle) {
    const Glyphs glyphs;
    test::MockClock clock;
    s.view.SetClock(&clock);
    s.Show(80, 32);  // rows to spare below the cursor
    s.state.connected = 1;
    ShowTerminalCaret(&s.view);
    s.Write(std::string(30, '\n'));
    for (int i = 0; i < 9; ++i) {
        s.Write(i % 3 == 0 ? "x\n" : "y\n");
        s.view.UpdateNow();
    }
    EXPECT_EQ(Differences(glyphs), "");

    QApplication::setCursorFlashTime(40);
    const auto caretShown = [&] {  // inverted white
        return qGray(s.Shown().pixel(s.view.CaretRect().center())) < 128;
    };
    const std::pair<const char*, std::function<void()>> stirs[] = {
        {"a character", [&] { s.Write("A"); }},
        {"a key", [&] { QTest::keyClick(&s.view, Qt::Key_B); }},
    };
    for (const auto& [what, stir] : stirs) {
        stir();
        s.view.UpdateNow();
        clock.Advance(std::chrono::milliseconds(9900));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !caretShown(); })) << what;  // still blinks
        clock.Advance(std::chrono::milliseconds(100));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !s.view.CaretBlinking() && caretShown(); }))
            << what;
    }
    HideTerminalCaret(&s.view);
    EXPECT_FALSE(s.view.CaretExists());
    EXPECT_EQ(Differences(glyphs), "");
    QApplication::setCursorFlashTime(0);
    s.view.SetClock(nullptr);
}

}  // namespace
}  // namespace tavirel
