// The record of the one terminal window and its one serial line.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/receive_queue.h"

namespace tavirel {

enum CodeModeValue : std::int32_t {
    ModeAscii = 0,     // bytes pass unchanged
    ModeBaudot = 1,    // ITA2 with automatic letters/figures shifts
    ModeTerminal = 2,  // bytes unchanged; DTR, RTS and XON/XOFF flow kept
};

// Process-wide; the reader reads it once per block, so it is atomic.
extern std::atomic<CodeModeValue> CodeMode;

inline constexpr int kScreenColumns = 80;
inline constexpr int kScreenRows = 300;
inline constexpr int kScreenBytes = kScreenColumns * kScreenRows;

// How many characters a cell keeps from before its last one: with the last,
// a cell holds eight distinct shapes, more than overstruck art lays on one
// spot (the pictures at hand use two).
inline constexpr int kEarlierStrikes = 7;

// The characters each cell showed before its last one (the record's `screen`)
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

inline constexpr std::uint8_t kFlowDtrDsr = 1;
inline constexpr std::uint8_t kFlowRtsCts = 2;
inline constexpr std::uint8_t kFlowXonXoff = 4;

// The description of the terminal font that the settings dialog edits.
struct LogFont {
    std::int32_t height = 12;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;  // 0 default, 400 normal, 700 bold
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 255;  // OEM
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0x31;  // fixed pitch, modern
    std::string faceName = "FixedSys";
};

class Port;
class TerminalWindow;
class WriteQueue;

struct TtyState {
    TtyState();
    ~TtyState();
    TtyState(const TtyState&) = delete;
    TtyState& operator=(const TtyState&) = delete;

    std::unique_ptr<Port> commHandle;  // the open port; only meaningful while connected
    std::uint8_t portNumber = 3;
    std::array<std::uint8_t, kScreenBytes> screen = BlankScreen();  // each cell's last character
    ScreenStrikes strikes;                                          // and what it showed before
    std::atomic<std::int32_t> connected{0};                         // the reader's stop signal
    std::int32_t localEcho = 0;
    std::int32_t newLine = 0;
    std::int32_t autoWrap = 1;
    std::int32_t useCnReceive = 1;               // stored and edited, read by nothing else
    std::atomic<std::int32_t> displayErrors{1};  // read by the reader and the writer too
    std::uint8_t byteSize = 5;
    std::uint8_t flowControl = 0;  // kFlowDtrDsr | kFlowRtsCts | kFlowXonXoff
    std::uint8_t parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 1;     // 0 one, 1 one and a half, 2 two
    std::uint32_t baudRate = 45;
    std::uint16_t caretShown = 0;
    // The font made from logFont is a toolkit object; the view that draws the
    // screen owns it.
    LogFont logFont;
    std::uint32_t textColour = 0;  // 0x00BBGGRR
    std::int32_t clientWidth = 0;
    std::int32_t clientHeight = 0;
    std::int32_t hScrollMax = 0;
    std::int32_t vScrollMax = 0;
    std::int32_t hScrollPos = 0;
    std::int32_t vScrollPos = 0;
    std::int32_t column = 0;
    std::int32_t row = 0;
    std::int32_t charWidth = 0;
    std::int32_t lineHeight = 0;
    std::thread readerThread;
    TerminalWindow* terminalWindow = nullptr;
    std::atomic<std::uint32_t> readerThreadId{0};
    // Wake-up descriptors of the reader and the writer (eventfds), made by
    // CreateLinkEvents; -1 until then. The record closes them.
    int readEvent = -1;
    int writeEvent = -1;
    // The write queue of the open connection.
    std::unique_ptr<WriteQueue> writer;
    // What the reader received (and the error marks), waiting for the screen.
    ReceiveQueue received;
    // The device-gone mark was shown on this connection (PostDeviceGone);
    // cleared when the connection's write queue is made.
    std::atomic<bool> deviceGoneShown{false};

    static std::array<std::uint8_t, kScreenBytes> BlankScreen() {
        std::array<std::uint8_t, kScreenBytes> s{};
        s.fill(' ');
        return s;
    }
};

// Makes the record's two wake-up descriptors; false (and none made) when the
// system refuses.
bool CreateLinkEvents(TtyState& state);

}  // namespace tavirel
