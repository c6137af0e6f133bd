// The two transfers on the open port.
#pragma once

#include <cstdint>

namespace tavirel {

class TerminalWindow;
struct TtyState;

// Reader thread only. Reads what the port has already received, at most
// maxLength bytes, never waiting for more; line errors that arose meanwhile
// are cleared without being shown. Returns the bytes placed in buffer.
std::uint32_t ReadCommBlock(TerminalWindow* window, std::uint8_t* buffer, std::uint32_t maxLength);

// User-interface thread only. Queues the bytes for the line and returns at
// once: 1 when the write was started, 0 when it could not be (then the line
// errors are shown, when the operator wants them). When id is given it
// receives the write's id, which its WriteDone carries (0 for none).
int WriteCommBlock(TerminalWindow* window, const std::uint8_t* bytes, std::int32_t length,
                   std::uint64_t* id = nullptr);

// User-interface thread only. Drops every queued write and what sits in the
// driver's output, so the line stops within one character; received bytes are
// kept for the reader. Each dropped write ends CutShort.
void PurgeWrites(TerminalWindow* window);

// Any thread. Shows that the device has gone (the error mark with EIO) once
// per connection, whichever of the reader and the writer notices first.
// Returns true when this call showed it.
bool PostDeviceGone(TerminalWindow* window, TtyState& state);

}  // namespace tavirel
