#include "terminal/screen.h"

#include <algorithm>
#include <cstring>

namespace tavirel {

namespace {

constexpr int kLastColumn = kScreenColumns - 1;
constexpr int kLastRow = kScreenRows - 1;

void LineFeed(ScreenWindow* window, TtyState& s) {
    const bool atBottom = s.row == kLastRow;
    ++s.row;
    if (atBottom) {
        std::memmove(s.screen.data(), s.screen.data() + kScreenColumns,
                     static_cast<std::size_t>(kLastRow * kScreenColumns));
        std::memset(s.screen.data() + kLastRow * kScreenColumns, ' ', kScreenColumns);
        s.strikes.ShiftUp();
        window->Invalidate(nullptr, true);
        s.row = kLastRow;
    }
    MoveTerminalCaret(window);
    if (s.row > kFollowRow)
        ScrollTerminalVert(window, SbLineDown, 1);
}

// The cell keeps what it showed: a space strikes nothing, so the character
// under it stays among the earlier strikes, and no space is ever kept there.
void Store(ScreenWindow* window, TtyState& s, std::uint8_t byte) {
    std::uint8_t& cell = s.screen[static_cast<std::size_t>(s.row * kScreenColumns + s.column)];
    if (cell != ' ' && cell != byte)
        s.strikes.Push(s.row, s.column, cell);
    cell = byte;
    const PixelRect rect = CellRect(s, s.row, s.column);
    window->Invalidate(&rect, false);
    if (s.column < kLastColumn) {
        ++s.column;
    } else if (s.autoWrap) {
        WriteToScreen(window, "\r\n", 2);
    }
}

// One algorithm for both axes: clamp the step (upper bound first), move the
// pixels, move the bar.
int Scroll(ScreenWindow* window, Axis axis, std::uint16_t code, int position) {
    TtyState* s = window ? window->State() : nullptr;
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
void Resize(ScreenWindow* window, TtyState& s, Axis axis, int client) {
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

PixelRect CellRect(const TtyState& s, int row, int column) {
    const int left = column * s.charWidth - s.hScrollPos;
    const int top = row * s.lineHeight - s.vScrollPos;
    return {left, top, left + s.charWidth, top + s.lineHeight};
}

int WriteToScreen(ScreenWindow* window, const char* text, std::int32_t length) {
    TtyState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    for (std::int32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        switch (byte) {
            case 7:
                window->Beep();
                break;
            case 8:
                if (s->column > 0)
                    --s->column;
                MoveTerminalCaret(window);
                break;
            case 13:
                s->column = 0;
                MoveTerminalCaret(window);
                if (s->newLine)
                    LineFeed(window, *s);
                break;
            case 10:
                LineFeed(window, *s);
                break;
            default:
                Store(window, *s, byte);
                break;
        }
    }
    return 1;
}

int SizeTerminal(ScreenWindow* window, std::uint16_t height, std::uint16_t width) {
    TtyState* s = window ? window->State() : nullptr;
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
    TtyState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (s->connected.load() && s->caretShown != 1) {
        window->CreateCaret(s->charWidth, s->lineHeight);
        window->ShowCaret();
        s->caretShown = 1;
    }
    MoveTerminalCaret(window);
    return 1;
}

int HideTerminalCaret(ScreenWindow* window) {
    TtyState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (s->connected.load() && s->caretShown != 0) {
        window->HideCaret();
        window->DestroyCaret();
        s->caretShown = 0;
    }
    return 1;
}

int MoveTerminalCaret(ScreenWindow* window) {
    TtyState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (s->connected.load() && s->caretShown) {
        window->SetCaretPos(s->column * s->charWidth - s->hScrollPos,
                            s->row * s->lineHeight - s->vScrollPos);
    }
    return 1;
}

PaintSpan CellsToPaint(const TtyState& s, const PixelRect& u) {
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
