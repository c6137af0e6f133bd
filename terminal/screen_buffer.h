// The terminal screen as a plain object: 80 x 300 cells, what was struck on
// each, the cursor, wrap and the bottom shift. It knows nothing of pixels or
// windows; a write tells whoever shows it what changed (ScreenEvents).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tavirel {

inline constexpr int kScreenColumns = 80;
inline constexpr int kScreenRows = 300;
inline constexpr int kScreenBytes = kScreenColumns * kScreenRows;

// How many characters a cell keeps from before its last one: with the last,
// a cell holds eight distinct shapes, more than overstruck art lays on one
// spot (the pictures at hand use two).
inline constexpr int kEarlierStrikes = 7;

// The characters each cell showed before its last one (the buffer's `screen`)
// since the cell was last cleared, oldest first: everything struck on that
// spot of paper. Rows sit in a ring, so the bottom shift moves none of them.
class ScreenStrikes {
  public:
    struct Cell {
        std::uint8_t count = 0;
        std::array<std::uint8_t, kEarlierStrikes> bytes{};
    };

    ScreenStrikes() : cells_(kScreenBytes) {}

    const Cell& At(int row, int column) const { return cells_[Index(row, column)]; }

    // A character the cell already holds adds no shape. A full cell keeps the
    // strikes it has: by then the spot is nearly solid ink, the first layers
    // are the picture's base, and the newest is in `screen` anyway.
    void Push(int row, int column, std::uint8_t byte) {
        Cell& cell = cells_[Index(row, column)];
        for (int i = 0; i < cell.count; ++i) {
            if (cell.bytes[static_cast<std::size_t>(i)] == byte)
                return;
        }
        if (cell.count < kEarlierStrikes)
            cell.bytes[cell.count++] = byte;
    }

    // Row 0 leaves, every other row moves up one, and the last row comes in
    // clear.
    void ShiftUp() {
        top_ = top_ + 1 == kScreenRows ? 0 : top_ + 1;
        Cell* last = &cells_[Index(kScreenRows - 1, 0)];
        std::fill(last, last + kScreenColumns, Cell{});
    }

  private:
    std::size_t Index(int row, int column) const {
        const int ring = row + top_ < kScreenRows ? row + top_ : row + top_ - kScreenRows;
        return static_cast<std::size_t>(ring * kScreenColumns + column);
    }

    std::vector<Cell> cells_;
    int top_ = 0;
};

// What a write did, for whoever shows the buffer; each is called once the
// buffer has changed. These do nothing: pass a struct derived from it that
// hides the ones it wants.
struct ScreenEvents {
    void Bell() {}
    void Stored(int /*row*/, int /*column*/) {}  // a cell took a character
    void CursorMoved() {}                        // a carriage return or backspace
    void LineFed(bool /*shifted*/) {}            // shifted: every row moved up one
};

struct ScreenBuffer {
    std::array<std::uint8_t, kScreenBytes> screen = BlankScreen();  // each cell's last character
    ScreenStrikes strikes;                                          // and what it showed before
    std::int32_t column = 0;
    std::int32_t row = 0;
    std::int32_t newLine = 0;   // a carriage return also feeds a line
    std::int32_t autoWrap = 1;  // the 81st character goes to the next line

    void Write(std::string_view text) {
        ScreenEvents none;
        Write(text, none);
    }

    // BEL rings, BS steps back without erasing, CR returns, LF feeds, and
    // every other byte is a character.
    template <typename Events>
    void Write(std::string_view text, Events& events) {
        for (const char ch : text) {
            const auto byte = static_cast<std::uint8_t>(ch);
            switch (byte) {
                case 7:
                    events.Bell();
                    break;
                case 8:
                    if (column > 0)
                        --column;
                    events.CursorMoved();
                    break;
                case 13:
                    CarriageReturn(events);
                    break;
                case 10:
                    LineFeed(events);
                    break;
                default:
                    Store(byte, events);
                    break;
            }
        }
    }

    static std::array<std::uint8_t, kScreenBytes> BlankScreen() {
        std::array<std::uint8_t, kScreenBytes> s{};
        s.fill(' ');
        return s;
    }

  private:
    static constexpr int kLastColumn = kScreenColumns - 1;
    static constexpr int kLastRow = kScreenRows - 1;

    template <typename Events>
    void CarriageReturn(Events& events) {
        column = 0;
        events.CursorMoved();
        if (newLine)
            LineFeed(events);
    }

    // At the bottom the whole buffer moves up a row under a cursor that stays.
    template <typename Events>
    void LineFeed(Events& events) {
        const bool shifted = row == kLastRow;
        if (shifted) {
            std::memmove(screen.data(), screen.data() + kScreenColumns,
                         static_cast<std::size_t>(kLastRow * kScreenColumns));
            std::memset(screen.data() + kLastRow * kScreenColumns, ' ', kScreenColumns);
            strikes.ShiftUp();
        } else {
            ++row;
        }
        events.LineFed(shifted);
    }

    // The cell keeps what it showed: a space strikes nothing, so the character
    // under it stays among the earlier strikes, and no space is ever kept there.
    template <typename Events>
    void Store(std::uint8_t byte, Events& events) {
        std::uint8_t& cell = screen[static_cast<std::size_t>(row * kScreenColumns + column)];
        if (cell != ' ' && cell != byte)
            strikes.Push(row, column, cell);
        cell = byte;
        events.Stored(row, column);
        if (column < kLastColumn) {
            ++column;
        } else if (autoWrap) {
            CarriageReturn(events);
            LineFeed(events);
        }
    }
};

// Hands draw every character struck on a cell since it was last cleared,
// oldest first and each once; the last is the cell's `screen` byte.
template <typename Draw>
void ForEachStrike(const ScreenBuffer& buffer, int row, int column, Draw&& draw) {
    const std::uint8_t last =
        buffer.screen[static_cast<std::size_t>(row * kScreenColumns + column)];
    const ScreenStrikes::Cell& cell = buffer.strikes.At(row, column);
    for (int i = 0; i < cell.count; ++i) {
        const std::uint8_t byte = cell.bytes[static_cast<std::size_t>(i)];
        if (byte != last)
            draw(byte);
    }
    draw(last);
}

}  // namespace tavirel
