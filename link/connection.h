// Opening and closing the terminal's one serial port, with its reader thread
// and write queue.
#pragma once

#include <cstdint>

namespace tavirel {

class TerminalWindow;
struct TtyState;

// Returns the line settings' result (non-zero) on success, 0 on failure, when
// nothing is left open or running.
int OpenConnection(TerminalWindow* window);

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
