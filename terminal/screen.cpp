#include "terminal/screen.h"

#include <algorithm>
#include <string_view>

namespace tavirel {

namespace {

constexpr int kLastColumn = kScreenColumns - 1;
constexpr int kLastRow = kScreenRows - 1;

// The view's side of a write: repaint marks, the caret, and the view
// following the cursor down.
struct Follow : ScreenEvents {
    ScreenWindow* window;
    ScreenState& s;

    void Bell() { window->Beep(); }
    void Stored(int row, int column) {
        const PixelRect rect = CellRect(s, row, column);
        window->Invalidate(&rect, false);
    }
    void CursorMoved() { MoveTerminalCaret(window); }
    void LineFed(bool shifted) {
        if (shifted)
            window->Invalidate(nullptr, true);
        MoveTerminalCaret(window);
        if (s.row > kFollowRow)
            ScrollTerminalVert(window, SbLineDown, 1);
    }
};

// One algorithm for both axes: clamp the step (upper bound first), move the
// pixels, move the bar.
int Scroll(ScreenWindow* window, Axis axis, std::uint16_t code, int position) {
    ScreenState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    const bool vert = axis == Axis::Vertical;
    int& pos = vert ? s->vScrollPos : s->hScrollPos;
    const int max = vert ? s->vScrollMax : s->hScrollMax;
    const int line = vert ? s->lineHeight : s->charWidth;
    const int page = vert ? s->clientHeight : s->clientWidth;
    int step;
    switch (code) {
        case SbLineUp:
            step = -line;
            break;
        case SbLineDown:
            step = line;
            break;
        case SbPageUp:
            step = -page;
            break;
        case SbPageDown:
            step = page;
            break;
        case SbThumbPosition:
            step = position - pos;
            break;
        case SbTop:
            step = -pos;
            break;
        case SbBottom:
            step = max - pos;
            break;
        default:
            return 0;  // thumb tracking, end of scroll and anything above
    }
    if (pos + step > max)
        step = max - pos;
    if (pos + step < 0)
        step = -pos;
    if (vert) {
        window->ScrollContent(0, -step);
    } else {
        window->ScrollContent(-step, 0);
    }
    pos += step;
    window->SetScrollPos(axis, pos, true);
    return 1;
}

// Shrinks one axis' range to a new client size; the content follows a
// position that had to come down.
void Resize(ScreenWindow* window, ScreenState& s, Axis axis, int client) {
    const bool vert = axis == Axis::Vertical;
    const int whole = vert ? kScreenRows * s.lineHeight : kScreenColumns * s.charWidth;
    int& max = vert ? s.vScrollMax : s.hScrollMax;
    int& pos = vert ? s.vScrollPos : s.hScrollPos;
    (vert ? s.clientHeight : s.clientWidth) = client;
    max = std::max(0, whole - client);
    if (pos > max) {
        const int removed = pos - max;
        pos = max;
        if (vert) {
            window->ScrollContent(0, removed);
        } else {
            window->ScrollContent(removed, 0);
        }
    }
    window->SetScrollPos(axis, pos, false);
    window->SetScrollRange(axis, max, true);
}

}  // namespace

PixelRect CellRect(const ViewMetrics& s, int row, int column) {
    const int left = column * s.charWidth - s.hScrollPos;
    const int top = row * s.lineHeight - s.vScrollPos;
    return {left, top, left + s.charWidth, top + s.lineHeight};
}

int WriteToScreen(ScreenWindow* window, const char* text, std::int32_t length) {
    ScreenState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (length > 0) {
        Follow follow{{}, window, *s};
        s->Write(std::string_view(text, static_cast<std::size_t>(length)), follow);
    }
    return 1;
}

int SizeTerminal(ScreenWindow* window, std::uint16_t height, std::uint16_t width) {
    ScreenState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    Resize(window, *s, Axis::Vertical, height);
    Resize(window, *s, Axis::Horizontal, width);
    window->Invalidate(nullptr, true);
    return 1;
}

int ScrollTerminalVert(ScreenWindow* window, std::uint16_t code, int position) {
    return Scroll(window, Axis::Vertical, code, position);
}

int ScrollTerminalHorz(ScreenWindow* window, std::uint16_t code, int position) {
    return Scroll(window, Axis::Horizontal, code, position);
}

int ShowTerminalCaret(ScreenWindow* window) {
    ScreenState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (window->Connected() && s->caretShown != 1) {
        window->CreateCaret(s->charWidth, s->lineHeight);
        window->ShowCaret();
        s->caretShown = 1;
    }
    MoveTerminalCaret(window);
    return 1;
}

int HideTerminalCaret(ScreenWindow* window) {
    ScreenState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (window->Connected() && s->caretShown != 0) {
        window->HideCaret();
        window->DestroyCaret();
        s->caretShown = 0;
    }
    return 1;
}

int MoveTerminalCaret(ScreenWindow* window) {
    ScreenState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (s->caretShown && window->Connected()) {
        window->SetCaretPos(s->column * s->charWidth - s->hScrollPos,
                            s->row * s->lineHeight - s->vScrollPos);
    }
    return 1;
}

PaintSpan CellsToPaint(const ViewMetrics& s, const PixelRect& u) {
    PaintSpan p;
    if (s.lineHeight <= 0 || s.charWidth <= 0)
        return p;
    p.firstRow = std::clamp((u.top + s.vScrollPos) / s.lineHeight, 0, kLastRow);
    p.lastRow = std::min((u.bottom + s.vScrollPos - 1) / s.lineHeight, kLastRow);
    p.firstColumn = std::clamp((u.left + s.hScrollPos) / s.charWidth, 0, kLastColumn);
    p.lastColumn = std::min((u.right + s.hScrollPos - 1) / s.charWidth, kLastColumn);
    return p;
}

}  // namespace tavirel
