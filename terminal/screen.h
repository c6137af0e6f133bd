// The terminal screen in a window: the buffer written with the view
// following it, and the scroll arithmetic. What it needs from a real window
// (beep, repaint marks, scrolling pixels, bars, caret) goes through
// ScreenWindow, so all of it runs and is tested without a widget.
#pragma once

#include <cstdint>

#include "terminal/screen_state.h"

namespace tavirel {

// Scroll-bar codes, vertical and horizontal alike.
enum ScrollCode : std::uint16_t {
    SbLineUp = 0,  // line left
    SbLineDown = 1,
    SbPageUp = 2,
    SbPageDown = 3,
    SbThumbPosition = 4,
    SbThumbTrack = 5,
    SbTop = 6,
    SbBottom = 7,
    SbEndScroll = 8,
};

enum class Axis { Horizontal, Vertical };

// The cursor row beyond which a line feed also scrolls the view.
inline constexpr int kFollowRow = 25;

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class ScreenWindow {
  public:
    virtual ~ScreenWindow() = default;
    virtual ScreenState* State() = 0;  // null when the window has no record
    // The caret is shown only while the line is open.
    virtual bool Connected() = 0;
    virtual void Beep() = 0;
    // Marks a client rectangle (the whole client area when null) for repainting.
    virtual void Invalidate(const PixelRect* rect, bool erase) = 0;
    // Moves the client area's pixels and marks the uncovered strip.
    virtual void ScrollContent(int dx, int dy) = 0;
    virtual void SetScrollPos(Axis axis, int pos, bool redraw) = 0;
    // A range of 0 removes the bar.
    virtual void SetScrollRange(Axis axis, int max, bool redraw) = 0;
    virtual void CreateCaret(int width, int height) = 0;
    virtual void ShowCaret() = 0;
    virtual void HideCaret() = 0;
    virtual void DestroyCaret() = 0;
    virtual void SetCaretPos(int x, int y) = 0;
};

// Each returns 1, or 0 when the window has no record (or the code is ignored).
int WriteToScreen(ScreenWindow* window, const char* text, std::int32_t length);
int SizeTerminal(ScreenWindow* window, std::uint16_t height, std::uint16_t width);
int ScrollTerminalVert(ScreenWindow* window, std::uint16_t code, int position);
int ScrollTerminalHorz(ScreenWindow* window, std::uint16_t code, int position);
int ShowTerminalCaret(ScreenWindow* window);
int HideTerminalCaret(ScreenWindow* window);
int MoveTerminalCaret(ScreenWindow* window);

// The cells an update rectangle touches; none when firstRow > lastRow.
struct PaintSpan {
    int firstRow = 0;
    int lastRow = -1;
    int firstColumn = 0;
    int lastColumn = -1;
};
PaintSpan CellsToPaint(const ViewMetrics& view, const PixelRect& update);

// The pixel rectangle of a cell in client coordinates.
PixelRect CellRect(const ViewMetrics& view, int row, int column);

}  // namespace tavirel
