#include "link/connection.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>

#include "code/ita2.h"
#include "link/diagnostics.h"
#include "link/line_settings.h"
#include "link/port.h"
#include "link/port_io.h"
#include "link/process_state.h"
#include "link/terminal_window.h"
#include "link/transfer_state.h"
#include "link/write_queue.h"

namespace tavirel {

namespace {

constexpr std::uint32_t kBlock = 80;
constexpr int kFailedWaitPauseMs = 100;

// After a hang-up only the close can wake the reader.
void WaitForClose(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
}

class WaitCursor {
  public:
    explicit WaitCursor(TerminalWindow* window) : window_(window) { window_->SetWaitCursor(true); }
    ~WaitCursor() { window_->SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    TerminalWindow* window_;
};

SoundCardOpener& SoundCard() {
    static SoundCardOpener opener;
    return opener;
}

}  // namespace

void SetSoundCardOpener(SoundCardOpener opener) {
    SoundCard() = std::move(opener);
}

std::string DeviceNamed(const std::string& name, const SoundSettings& sound) {
    if (name == kSoundCardName)
        return SoundCard().deviceName ? SoundCard().deviceName(sound) : name;
    const std::filesystem::path device = DeviceForPort(name);
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(device, ec)))
        return device.string();
    const std::filesystem::path target = std::filesystem::read_symlink(device, ec);
    if (ec)
        return device.string();
    return (device.parent_path() / target).lexically_normal().string();
}

namespace {

std::string OpenFailureAdvice(const OpenFailure& failure) {
    switch (failure.error) {
        case EACCES:
        case EPERM:
            return "Permission denied: your user must be in the dialout group (sudo adduser "
                   "$USER dialout, then log in again).";
        case EBUSY:
            return "Port busy: another program holds " + failure.device + ".";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "No such device: " + failure.device + ".";
        case ENOTTY:
        case EISDIR:
            return "Not a serial device: " + failure.device + ".";
        default:
            return {};
    }
}

}  // namespace

std::string ConnectionFailedText(const OpenFailure& failure) {
    std::string text = "Connection failed.";
    if (const std::string advice =
            failure.advice.empty() ? OpenFailureAdvice(failure) : failure.advice;
        !advice.empty())
        text += "\n" + advice;
    return text;
}

std::uint32_t WriteMsPerByte(std::uint32_t baudRate) {
    return baudRate == 0 ? 0 : 19200 / baudRate;
}

int ReaderThread(TerminalWindow* window, TtyState* state) {
    int exitCode = 1;
    if (state->readEvent < 0) {
        window->PostMessageBox("Failed to create event for thread!", "TTY Error!");
        exitCode = 0;
    } else {
        Port& port = *state->commHandle;
        std::uint8_t buffer[kBlock];
        bool hungUp = false;
        while (state->connected.load()) {
            if (hungUp) {
                WaitForClose(state->readEvent);
                continue;
            }
            const WaitResult wait = port.WaitInput(state->readEvent, -1);
            if (wait == WaitResult::Woken)
                continue;
            if (wait == WaitResult::Failed) {
                // Not the device's end: wait again, without spinning should
                // the failure persist.
                LinkWarning("The wait for received characters failed: " +
                            std::generic_category().message(errno));
                pollfd p{state->readEvent, POLLIN, 0};
                ::poll(&p, 1, kFailedWaitPauseMs);
                continue;
            }
            // Drain in blocks, handed over together once the port has no more
            // for now. Once the close has begun, only what had arrived by then
            // is taken: a far end that never stops sending must not hold the
            // close up.
            int blocksLeft = -1;
            for (;;) {
                if (blocksLeft < 0 && !state->connected.load())
                    blocksLeft = port.BytesWaiting() / static_cast<int>(kBlock) + 1;
                if (blocksLeft == 0)
                    break;
                if (blocksLeft > 0)
                    --blocksLeft;
                const std::uint32_t n = ReadCommBlock(window, buffer, kBlock);
                if (n == 0)
                    break;
                const std::int32_t count =
                    CodeMode.load() == ModeBaudot
                        ? DecodeBaudotBlock(buffer, static_cast<std::int32_t>(n))
                        : static_cast<std::int32_t>(n);
                Transfer().RecordBlock(buffer, count, static_cast<std::int32_t>(n));
                if (count > 0 && state->received.Put(buffer, static_cast<std::size_t>(count), true))
                    window->WakeReceived();
            }
            if (state->received.Flush())
                window->WakeReceived();
            // The device is gone: say so once, then wait for the close.
            if (wait == WaitResult::Hangup) {
                PostDeviceGone(window, *state);
                hungUp = true;
            }
        }
    }
    state->readerThreadId = 0;
    return exitCode;
}

int OpenConnection(TerminalWindow* window, OpenFailure* failure) {
    OpenFailure ignored;
    OpenFailure& why = failure != nullptr ? *failure : ignored;
    why = {};
    TtyState* s = window ? window->State() : nullptr;
    if (s == nullptr || s->connected.load())
        return 0;
    // Without its wake-up events neither thread could be stopped.
    if (s->readEvent < 0 || s->writeEvent < 0) {
        window->PostMessageBox("Failed to create event for thread!", "TTY Error!");
        return 0;
    }
    WaitCursor cursor(window);

    const std::string name = PortName(s->portNumber);
    why.device = DeviceNamed(name, s->sound);
    // An opener that fails without saying why leaves no stale reason.
    errno = 0;
    if (name != kSoundCardName) {
        s->commHandle = OpenPortNamed(name);
    } else if (SoundCard().open) {
        s->commHandle = SoundCard().open(s->sound, &why.advice);
    } else {
        errno = ENODEV;
        why.advice = "This build of Tavirel has no sound card support.";
    }
    if (s->commHandle == nullptr) {
        why.error = errno;  // the port layer has logged the step
        return 0;
    }
    // Nothing left over from before this program had the port.
    s->commHandle->Purge();
    // A line that keeps its own time cannot run late: no write time-out.
    const std::uint32_t msPerByte = s->commHandle->PacesOutput() ? 0 : WriteMsPerByte(s->baudRate);

    errno = 0;
    const int result = SetupConnection(s);
    if (result == 0) {
        why.error = errno;
        LinkWarning("Cannot use " + why.device + ": the line settings were refused" +
                    (why.error != 0 ? ": " + std::string(std::strerror(why.error)) : ""));
        if (name == kSoundCardName)
            why.advice =
                "The sound card sends five-bit codes without parity at 10 to 300 baud, on "
                "tones below half its sample rate: check Settings and Sound.";
        s->connected = 0;
        s->commHandle->Close();
        return 0;
    }

    s->connected = 1;
    DrainEvent(s->readEvent);
    DrainEvent(s->writeEvent);
    s->received.Hold();
    try {
        s->writer = std::make_unique<WriteQueue>(window, s, s->commHandle.get(), s->writeEvent,
                                                 msPerByte, CharacterTime(*s));
        s->readerThread = std::thread(ReaderThread, window, s);
    } catch (const std::system_error& e) {
        why.error = e.code().value();
        LinkWarning("Cannot use " + why.device + ": no thread for the line: " + e.what());
        s->connected = 0;
        s->writer.reset();
        s->commHandle->Close();
        return 0;
    }
    s->readerThreadId =
        static_cast<std::uint32_t>(std::hash<std::thread::id>{}(s->readerThread.get_id()));

    if (CodeMode.load() == ModeTerminal)
        s->commHandle->SetDtr(true);
    window->ShowTerminalCaret();
    window->ConnectionChanged(true);
    return result;
}

int CloseConnection(TerminalWindow* window) {
    TtyState* s = window ? window->State() : nullptr;
    if (s == nullptr)
        return 0;
    if (s->connected.load()) {
        // Queued writes are cancelled before anything else is released.
        if (s->writer)
            s->writer->Stop();
        s->connected = 0;
        SignalEvent(s->readEvent);
        // The reader may be waiting for room the window cannot make now.
        s->received.Release();
        if (s->readerThread.joinable())
            s->readerThread.join();
        s->writer.reset();
        s->commHandle->SetDtr(false);
        s->commHandle->Purge();
        s->commHandle->Close();
    }
    window->ConnectionChanged(false);
    return 1;
}

}  // namespace tavirel
