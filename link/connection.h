// Opening and closing the terminal's one serial port, with its reader thread
// and write queue.
//
// How the link works. The main window owns the record (TtyState); the record
// owns the open port (commHandle), the write queue (writer), the reader
// thread, the receive queue (received) and two eventfds made once with the
// record: readEvent wakes the reader, writeEvent the writer. The record
// closes them; a connection only drains them.
//
// Threads. The user-interface thread opens, closes, applies settings and
// enqueues writes; it never blocks on the line. The reader polls the port
// and readEvent, reads blocks of at most 80 bytes, decodes them in BAUDOT
// mode, hands them to the capture (Transfer().RecordBlock) and appends them
// to the receive queue. The writer (WriteQueue) polls writeEvent, the port
// and the line clock, and feeds the port at the line's pace. When the writer
// must wait for CTS or DSR, the port starts a helper that sits in
// TIOCMIWAIT and signals an eventfd of its own on each change.
//
// Upward, nothing waits for the window. The receive queue is bounded and
// wakes the window once (WakeReceived) until the window takes all of it;
// when full, the reader waits for room. Error marks join the received
// characters there without waiting. Message boxes and write ends
// (PostWriteDone) are queued calls the window runs on its own thread, in
// the order posted.
//
// Closing, in this order: the writer is stopped (queued writes cut short and
// reported, its thread joined); connected goes to 0 and readEvent is
// signalled; the receive queue stops holding the reader; the reader is
// joined; the queue is dropped; DTR goes down; the port is purged and closed,
// which ends the modem-line helper and drops the port's locks.
//
// What a feature may call. From the user-interface thread: WriteCommBlock
// (its id out-parameter names the write) and the senders (sender.h), which
// return at once, and the record's settings; a feature paces itself by the
// window's write ends, never by waiting. Transfer().Start and Finish (Capture) also run there;
// after Finish the reader never touches the file. From any thread: the
// window's Post* calls and ForgetShiftSent. The reader and the writer call
// nothing that waits for the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/sound_settings.h"

namespace tavirel {

class Port;
class TerminalWindow;
struct TtyState;

// Why an open failed.
struct OpenFailure {
    int error = 0;       // the errno of the step that failed; 0 when not known
    std::string device;  // the device the port's name led to
    std::string advice;  // what the operator can do, when the port said so itself
};

// Returns the line settings' result (non-zero) on success, 0 on failure, when
// nothing is left open or running; then `failure`, when given, says why. Each
// failed step is logged at warning level with its reason.
int OpenConnection(TerminalWindow* window, OpenFailure* failure = nullptr);

// The message of a failed connect, whoever asked for it: "Connection
// failed.", then on a line of its own what the operator can do about the
// reason, when there is something.
std::string ConnectionFailedText(const OpenFailure& failure);

// The device a port name leads to: through its link in the port folder, the
// link's target, which may not exist; for the sound card, its output device.
std::string DeviceNamed(const std::string& name, const SoundSettings& sound = {});

// The sound card as a line. The audio library provides it, so that the link
// itself needs no sound: open returns null with errno, and a sentence for the
// operator in *problem, when it cannot; deviceName names the output device.
struct SoundCardOpener {
    std::function<std::unique_ptr<Port>(const SoundSettings&, std::string* problem)> open;
    std::function<std::string(const SoundSettings&)> deviceName;
};
void SetSoundCardOpener(SoundCardOpener opener);  // empty: no sound card

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
