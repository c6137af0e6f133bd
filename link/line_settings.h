// The line settings the operator chooses, and how they become the port's
// configuration.
#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "audio/sound_settings.h"

namespace tavirel {

enum CodeModeValue : std::int32_t {
    ModeAscii = 0,     // bytes pass unchanged
    ModeBaudot = 1,    // ITA2 with automatic letters/figures shifts
    ModeTerminal = 2,  // bytes unchanged; DTR, RTS and XON/XOFF flow kept
};

// Process-wide; the reader reads it once per block, so it is atomic.
extern std::atomic<CodeModeValue> CodeMode;

inline constexpr std::uint8_t kFlowDtrDsr = 1;
inline constexpr std::uint8_t kFlowRtsCts = 2;
inline constexpr std::uint8_t kFlowXonXoff = 4;

// COM1 to COM8, then the sound card.
inline constexpr int kSerialPortCount = 8;
inline constexpr std::uint8_t kSoundCardPort = kSerialPortCount + 1;

// The line's part of the terminal record: the port, its framing and flow,
// and what the terminal does with the characters on it.
struct LineSettings {
    std::uint8_t portNumber = 3;
    std::uint32_t baudRate = 45;
    std::uint8_t byteSize = 5;
    std::uint8_t parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 1;     // 0 one, 1 one and a half, 2 two
    std::uint8_t flowControl = 0;  // kFlowDtrDsr | kFlowRtsCts | kFlowXonXoff
    std::int32_t localEcho = 0;
    std::int32_t useCnReceive = 1;               // stored and edited, read by nothing else
    std::atomic<std::int32_t> displayErrors{1};  // read by the reader and the writer too
    SoundSettings sound{};                       // when the sound card is the line
};

struct TtyState;

// The termios2 fields we set, with the kernel's flag values, and what happens
// to the modem lines. Kept free of kernel headers: <asm/termbits.h> clashes
// with <termios.h>, so only line_settings.cpp sees it.
struct LinePlan {
    bool valid = false;  // false: a value the port cannot take (SetupConnection fails)
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0;
    std::uint32_t lflag = 0;
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;
    std::uint8_t vmin = 0;
    std::uint8_t vtime = 0;
    std::uint8_t vstart = 0;
    std::uint8_t vstop = 0;
    bool raiseDtr = false;    // else DTR is dropped
    bool raiseRts = false;    // else RTS is dropped (with CRTSCTS the kernel drives it)
    bool waitForCts = false;  // the writer holds output while CTS is low
    bool waitForDsr = false;  // the writer holds output while DSR is low
};

inline constexpr std::uint32_t kTermiosBother = 0010000;  // speed given as an integer

LinePlan PlanLine(const LineSettings& settings, CodeModeValue mode);

// Applies a plan to an open port: TCSETS2, then the modem lines. Returns 1 on
// success, 0 on failure. Devices without modem lines (pseudo-terminals) are
// not failed for that.
int ApplyLinePlan(int fd, const LinePlan& plan);

// Reads back what the device accepted (TCGETS2); valid is false on failure.
LinePlan ReadLineState(int fd);

// The framing a plan asks for, for a line that makes its own bits.
struct LineFraming {
    std::uint32_t baud = 0;
    int dataBits = 8;
    bool parity = false;
    int stopHalfBits = 2;  // 2, 3 (1.5 with 5 data bits) or 4
};
LineFraming FramingOf(const LinePlan& plan);

// The speed and framing of a plan in words: "45 baud, 5 data bits, no parity,
// 1.5 stop bits".
std::string DescribeLine(const LinePlan& plan);

// What to tell the operator when a device runs otherwise than asked: in speed
// by more than 2 %, or in data bits, parity or stop bits. Empty when they
// agree or either plan is not valid.
std::string LineDifference(const LinePlan& asked, const LinePlan& accepted);

// ioctl with EINTR retried; -1 with errno on failure.
int RetryIoctl(int fd, unsigned long request, void* arg);

// poll with EINTR retried within the one timeout (negative: none); poll's result.
int RetryPoll(pollfd* fds, nfds_t count, int timeoutMs);

// Applies the record's settings with the current code mode to its open port.
// Returns 0 when there is no record or no port, or the port refuses them. When
// a serial port (one with modem lines) runs otherwise than asked, the record's
// window is told so in a message box, once per difference and connection.
int SetupConnection(TtyState* state);

// One character on the line: start bit, data, parity and stop bits.
std::chrono::nanoseconds CharacterTime(const LineSettings& settings);

}  // namespace tavirel
