// Opening and closing the terminal's one serial port, with its reader thread
// and write queue.
#pragma once

#include <cstdint>
#include <string>

namespace tavirel {

class TerminalWindow;
struct TtyState;

// Why an open failed.
struct OpenFailure {
    int error = 0;       // the errno of the step that failed; 0 when not known
    std::string device;  // the device the port's name led to
};

// Returns the line settings' result (non-zero) on success, 0 on failure, when
// nothing is left open or running; then `failure`, when given, says why. Each
// failed step is logged at warning level with its reason.
int OpenConnection(TerminalWindow* window, OpenFailure* failure = nullptr);

// The line to show under "Connection failed." when the operator can do
// something about the reason; empty when not.
std::string OpenFailureAdvice(const OpenFailure& failure);

// Cancels queued writes, stops and joins the reader, then drops DTR, purges
// and closes the port. Safe to call when nothing is open. Returns 1 (0 without
// a record).
int CloseConnection(TerminalWindow* window);

// The write time-out per byte for a speed: 19200 / baud ms, 0 (none) from
// 38400 baud up.
std::uint32_t WriteMsPerByte(std::uint32_t baudRate);

// The reader thread's body: waits for input or the close, drains the port in
// blocks of at most 80, decodes in BAUDOT mode, captures and delivers.
int ReaderThread(TerminalWindow* window, TtyState* state);

}  // namespace tavirel
