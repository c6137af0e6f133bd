// The one way a typed character reaches the line, in every code mode, and the
// way a block of text (a paste, a file) does.
#pragma once

#include <cstdint>

namespace tavirel {

class TerminalWindow;

// ch is one byte. Returns 1 when handled, 0 without a record or connection
// (then nothing is sent or shown).
int SendKeyChar(TerminalWindow* window, int ch);

// Encodes one character to ITA2 and queues its shift code and code together,
// so nothing can come between them. Characters without a code send nothing
// and, with local echo, show "~". Does not look at the connection itself.
void SendBaudotChar(TerminalWindow* window, int ch);

// Sends a block of text. In BAUDOT mode each byte goes through
// SendBaudotChar: shifts added, no LF added after CR, bytes 128 to 255 have
// no code; echoed as typed characters are. In ASCII and Terminal modes the
// bytes go unchanged in one write and are shown when local echo is on.
// Returns 1 when handled, 0 without a record or connection (then nothing is
// sent or shown).
int SendTextBlock(TerminalWindow* window, const std::uint8_t* bytes, std::int32_t length);

// Any thread. Queued codes were dropped before they reached the line (a purge,
// a failed device): the next BAUDOT character carries its own shift.
void ForgetShiftSent();

}  // namespace tavirel
