// The widget that shows the terminal screen.
//
// Pixels live in a canvas of our own rather than being redrawn from the buffer
// on every expose: a character written over another is drawn on top of it
// without erasing, so overstruck teleprinter art shows both glyphs until that
// area is next repainted with erase (a bottom shift, a resize, a font change,
// a scrolled-in strip).
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFont>
#include <QPixmap>
#include <QRawFont>
#include <QRegion>
#include <array>

#include "terminal/screen.h"

namespace tavirel {

class TerminalView : public QAbstractScrollArea, public ScreenWindow {
    Q_OBJECT
  public:
    explicit TerminalView(QWidget* parent = nullptr);

    // The record is owned by the main window; null detaches it.
    void SetState(TtyState* state) { state_ = state; }
    TtyState* State() override { return state_; }

    const QFont& TerminalFont() const { return font_; }
    void SetTerminalFont(const QFont& font);

    // The size that shows all 80 columns and 25 rows with the vertical bar.
    QSize sizeHint() const override;

    // Runs SizeTerminal with the client area's current size.
    void SizeToClient();
    // Paints what is marked, now rather than when the event loop gets to it.
    void UpdateNow();

    bool CaretExists() const { return caretExists_; }
    QRect CaretRect() const { return QRect(caretPos_, caretSize_); }

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
    void PaintTerminal();
    void UpdateCaretBlink();
    QColor Background() const;

    TtyState* state_ = nullptr;
    QFont font_;
    QRawFont rawFont_;
    std::array<quint32, 256> glyphOf_{};  // 0: the font lacks it, drawn as text
    int ascent_ = 0;
    QPixmap canvas_;
    QRegion dirty_;  // cells to draw into the canvas
    QRegion erase_;  // the part of dirty_ to clear first
    bool sizing_ = false;
    bool sizeAgain_ = false;

    bool caretExists_ = false;
    bool caretVisible_ = false;
    bool blinkOn_ = true;
    QSize caretSize_;
    QPoint caretPos_;
    QBasicTimer blink_;
};

// Makes the terminal font from the record's logFont and sets the cell size
// from its metrics; the scroll ranges follow and everything is repainted.
// Returns 0 when state is null.
int ApplyFont(TerminalView* window, TtyState* state);

}  // namespace tavirel
