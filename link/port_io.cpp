#include "link/port_io.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "link/port.h"
#include "link/terminal_window.h"
#include "link/write_queue.h"

namespace tavirel {

std::string ErrorMarkText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "<CE-%u>", value);
    return text;
}

std::uint32_t ReadCommBlock(TerminalWindow* window, std::uint8_t* buffer, std::uint32_t maxLength) {
    TtyState* state = window ? window->State() : nullptr;
    if (state == nullptr || state->commHandle == nullptr)
        return 0;
    Port& port = *state->commHandle;
    const int waiting = port.BytesWaiting();
    port.TakeErrors();  // cleared unseen
    const std::uint32_t length =
        std::min(maxLength, static_cast<std::uint32_t>(waiting > 0 ? waiting : 0));
    if (length == 0)
        return 0;
    const int n = port.Read(buffer, static_cast<int>(length));
    if (n >= 0)
        return static_cast<std::uint32_t>(n);
    if (errno == EAGAIN)
        return 0;
    const std::uint32_t flags = port.TakeErrors();
    if (flags != 0 && state->displayErrors.load())
        window->PostErrorMark(ErrorMarkText(flags));
    return 0;
}

bool PostDeviceGone(TerminalWindow* window, TtyState& state) {
    if (state.deviceGoneShown.exchange(true))
        return false;
    window->PostErrorMark(ErrorMarkText(EIO));
    return true;
}

int WriteCommBlock(TerminalWindow* window, const std::uint8_t* bytes, std::int32_t length,
                   std::uint64_t* id) {
    if (id != nullptr)
        *id = 0;
    TtyState* state = window ? window->State() : nullptr;
    if (state == nullptr)
        return 0;
    if (state->connected.load() && state->writer) {
        if (const std::uint64_t queued = state->writer->Enqueue(bytes, length); queued != 0) {
            if (id != nullptr)
                *id = queued;
            return 1;
        }
    }
    if (state->connected.load() && state->commHandle) {
        const std::uint32_t flags = state->commHandle->TakeErrors();
        if (flags != 0 && state->displayErrors.load()) {
            const std::string mark = ErrorMarkText(flags);
            window->WriteToScreen(mark.data(), static_cast<std::int32_t>(mark.size()));
        }
    }
    return 0;
}

void PurgeWrites(TerminalWindow* window) {
    TtyState* state = window ? window->State() : nullptr;
    if (state != nullptr && state->writer)
        state->writer->Purge();
}

}  // namespace tavirel
