// The widget that shows the terminal screen.
//
// Every paint draws its cells straight from the buffer: the area is erased and
// each cell gets every character struck on it, each clipped to the cell, so
// overstruck art looks the same however and whenever it is repainted. Writing
// only notes what changed (a box of cells, the scroll position the pixels lag
// behind, the caret); once a frame that turns into one scroll of the pixels
// and one update.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <array>

#include "link/clock.h"
#include "link/tty_state.h"
#include "terminal/screen.h"

namespace tavirel {

class TerminalView : public QAbstractScrollArea, public ScreenWindow {
    Q_OBJECT
  public:
    explicit TerminalView(QWidget* parent = nullptr);

    // The record is owned by the main window; null detaches it.
    void SetState(TtyState* state);
    // The whole record; the screen logic sees only its screen part.
    TtyState* State() override { return state_; }
    bool Connected() override { return state_ != nullptr && state_->connected.load() != 0; }

    const QFont& TerminalFont() const { return font_; }
    void SetTerminalFont(const QFont& font);

    // All 80 columns and 27 rows, with room for both bars: a view that
    // follows the cursor keeps it on its 26th row, so it stays in sight.
    QSize sizeHint() const override;

    // Runs SizeTerminal with the client area's current size.
    void SizeToClient();
    // Paints what is marked, now rather than at the next frame.
    void UpdateNow();

    bool CaretExists() const { return caretExists_; }
    QRect CaretRect() const;
    // The caret blinks for a while after the last key or character, then
    // stays shown, so an idle window does not wake.
    bool CaretBlinking() const { return blink_.isActive(); }
    // A key or a character: the caret blinks again.
    void Stir();
    // Tests move time by hand; null restores the steady clock.
    void SetClock(Clock* clock) { clock_ = clock != nullptr ? clock : &SteadyClock(); }

    void Beep() override;
    void Invalidate(const PixelRect* rect, bool erase) override;
    void ScrollContent(int dx, int dy) override;
    void SetScrollPos(Axis axis, int pos, bool redraw) override;
    void SetScrollRange(Axis axis, int max, bool redraw) override;
    void CreateCaret(int width, int height) override;
    void ShowCaret() override;
    void HideCaret() override;
    void DestroyCaret() override;
    void SetCaretPos(int x, int y) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int, int) override {}  // the scroll handlers move the pixels
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab is a character
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void OnScrollAction(Axis axis, int action);
    void ScheduleFrame();
    void Flush(bool now);
    void PaintCells(QPainter& painter, const QRect& area);
    void BuildGlyphCells();
    void UpdateCaretBlink();
    QPoint ScrollPos() const;
    QColor Background() const;

    TtyState* state_ = nullptr;
    QFont font_;
    int ascent_ = 0;

    // Each byte's ink as a cell-sized image, 16 x 16 cells; a paint composes
    // a cell from these.
    QImage glyphCells_;
    std::array<bool, 256> inked_{};
    QSize glyphCellSize_;  // device pixels
    std::uint32_t glyphColour_ = 0;
    bool glyphsStale_ = true;

    // What the next frame has to show, in pixels of the whole buffer.
    QRect dirty_;
    bool dirtyAll_ = false;
    QPoint shownPos_;   // the scroll position the pixels on screen belong to
    QRect shownCaret_;  // where the pixels on screen are inverted; null when nowhere
    bool paintPending_ = false;
    QBasicTimer frame_;
    QElapsedTimer sinceFrame_;

    bool sizing_ = false;
    bool sizeAgain_ = false;

    bool caretExists_ = false;
    bool caretVisible_ = false;
    bool blinkOn_ = true;
    QSize caretSize_;
    QPoint caretAt_;  // in pixels of the whole buffer
    QBasicTimer blink_;
    Clock* clock_ = &SteadyClock();
    Clock::Time stirred_{};  // the last key or character
};

// Makes the terminal font from the view's logFont and sets the cell size
// from its metrics; the scroll ranges follow and everything is repainted.
// Returns 0 when view is null.
int ApplyFont(TerminalView* window, ViewMetrics* view);

}  // namespace tavirel
