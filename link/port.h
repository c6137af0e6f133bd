// The serial port as the rest of the link sees it. One implementation drives
// a real device through termios2; tests put a fake behind the same interface.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "link/line_settings.h"

namespace tavirel {

// Line-error flags, with the numbers the error marks show.
inline constexpr std::uint32_t CE_RXOVER = 1;    // input buffer overflow
inline constexpr std::uint32_t CE_OVERRUN = 2;   // character overrun
inline constexpr std::uint32_t CE_RXPARITY = 4;  // parity error
inline constexpr std::uint32_t CE_FRAME = 8;     // framing error
inline constexpr std::uint32_t CE_BREAK = 16;    // break received
inline constexpr std::uint32_t CE_TXFULL = 256;  // output queue full
// The code a transfer cut short by a purge reports.
inline constexpr std::uint32_t kErrorOperationAborted = 995;

// Modem-line bits for ModemLines().
inline constexpr int kLineDtr = 1;
inline constexpr int kLineRts = 2;
inline constexpr int kLineCts = 4;
inline constexpr int kLineDsr = 8;

enum class WaitResult {
    Ready,    // the port can be read (or written)
    Woken,    // the wake descriptor was signalled
    Timeout,  // the time given ran out
    Hangup,   // the device is gone
    Failed,   // errno says why
};

class Port {
  public:
    virtual ~Port() = default;

    // Applies the settings; 1 on success, 0 when the device refuses them.
    virtual int Apply(const LinePlan& plan) = 0;
    // The settings last applied (what the writer's CTS and DSR waits follow).
    virtual LinePlan Applied() const = 0;
    // What the device reported it runs at after the last Apply; not valid
    // when it could not be read back.
    virtual LinePlan Accepted() const { return {}; }

    // Raw bytes waiting to be read.
    virtual int BytesWaiting() = 0;
    // Reads at most maxLength raw bytes without waiting, takes the in-band
    // line-error marks out into the error flags, and returns the data bytes
    // left at the start of buffer; -1 with errno on failure.
    virtual int Read(std::uint8_t* buffer, int maxLength) = 0;
    // Hands bytes to the driver without waiting: the count accepted, or -1
    // with errno (EAGAIN when the driver takes nothing now).
    virtual int Write(const std::uint8_t* bytes, int length) = 0;
    // Bytes still in the driver's output queue.
    virtual int OutputQueued() = 0;
    // Line-error flags that arose since the last call; the call clears them.
    virtual std::uint32_t TakeErrors() = 0;

    virtual bool SetDtr(bool raise) = 0;
    virtual bool SetRts(bool raise) = 0;
    // kLine* bits; -1 when the device has no modem lines.
    virtual int ModemLines() = 0;
    // Discards both directions' queues.
    virtual void Purge() = 0;
    // Discards what waits to be sent; what was received stays for the reader.
    virtual void PurgeOutput() = 0;

    // Waits until input arrives (or output can be taken), wakeFd becomes
    // readable, or timeoutMs passes (-1: no limit). EINTR is retried.
    virtual WaitResult WaitInput(int wakeFd, int timeoutMs) = 0;
    virtual WaitResult WaitOutput(int wakeFd, int timeoutMs) = 0;
    // Waits until CTS or DSR may have changed (Ready), wakeFd becomes
    // readable, or timeoutMs passes. A change since the last call that the
    // caller may not have seen also answers Ready.
    virtual WaitResult WaitModemChange(int wakeFd, int timeoutMs) = 0;

    virtual void Close() = 0;

    // True for a line with a clock of its own (the sound card): Write takes
    // only what the line needs next and WaitOutput answers when that changes
    // or a character has left, so the writer follows the port, not its own
    // clock, and a character counts as sent when OutputQueued says so.
    virtual bool PacesOutput() const { return false; }

    // The difference between the settings and what the device runs at that
    // the operator was last told of. A port is opened per connection, so each
    // difference is told once per connection.
    std::string toldDifference;
};

inline constexpr char kSoundCardName[] = "Sound card";

// "COM" and the number, as the operator knows the port; kSoundCardName for
// the sound card.
std::string PortName(int number);

// The folder where the operator links COMn names to devices.
std::filesystem::path PortFolder();

// The device COMn names: the link COMn in the port folder when there is one,
// else /dev/ttyS{n-1}. Empty for a name that is not COMn.
std::filesystem::path DeviceForPort(const std::string& name);

// Opens a serial device for this program alone; null with errno set when it is
// missing, not permitted or not a terminal, and EBUSY when another process
// holds its lock file or its flock or has it open (as far as /proc shows).
// Each refusal is logged at warning level with its reason.
std::unique_ptr<Port> OpenSerialPort(const std::filesystem::path& device);

// Error counts of a device that keeps them (TIOCGICOUNT).
struct LineErrorCounts {
    std::uint32_t bufOverrun = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t frame = 0;
    std::uint32_t brk = 0;
};

// The flags TakeErrors reports, from the in-band marks and our own writes
// (markFlags) and, on a device with counters, the counts before and now. The
// counters then stand for the line errors: they tell parity from framing and
// see overruns, where the marks would only say again, less exactly, what they
// counted. The output-queue flag comes from our writes either way.
std::uint32_t ErrorFlags(std::uint32_t markFlags, const LineErrorCounts* before,
                         const LineErrorCounts* now);

// How a port name becomes an open port. Tests replace it.
using PortOpener = std::function<std::unique_ptr<Port>(const std::string& name)>;
void SetPortOpener(PortOpener opener);  // null restores the default
std::unique_ptr<Port> OpenPortNamed(const std::string& name);

}  // namespace tavirel
