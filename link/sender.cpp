#include "link/sender.h"

#include "link/port_io.h"
#include "link/process_state.h"
#include "link/terminal_window.h"

namespace tavirel {

namespace {

void Echo(TerminalWindow* window, const char* text, std::int32_t length) {
    window->WriteToScreen(text, length);
}

}  // namespace

void SendBaudotChar(TerminalWindow* window, int ch) {
    TtyState* state = window ? window->State() : nullptr;
    if (state == nullptr)
        return;
    const BaudotCodes codes = Process().sender.Encode(ch);
    if (codes.count == 0) {
        if (state->localEcho)
            Echo(window, "~", 1);
        return;
    }
    if (codes.carriageReturn && state->localEcho && state->newLine)
        Echo(window, "\n", 1);
    if (WriteCommBlock(window, codes.bytes.data(), codes.count) == 0)
        Process().sender.ForgetShift();
    if (state->localEcho) {
        const char c = static_cast<char>(ch);
        Echo(window, &c, 1);
    }
}

int SendKeyChar(TerminalWindow* window, int ch) {
    TtyState* state = window ? window->State() : nullptr;
    if (state == nullptr || !state->connected.load())
        return 0;
    if (CodeMode.load() == ModeBaudot) {
        SendBaudotChar(window, ch);
        if (ch == '\r')
            SendBaudotChar(window, '\n');
        return 1;
    }
    const auto byte = static_cast<std::uint8_t>(ch);
    WriteCommBlock(window, &byte, 1);
    if (state->localEcho) {
        const char c = static_cast<char>(byte);
        Echo(window, &c, 1);
        if (ch == '\r')
            Echo(window, "\n", 1);
    }
    return 1;
}

int SendTextBlock(TerminalWindow* window, const std::uint8_t* bytes, std::int32_t length) {
    TtyState* state = window ? window->State() : nullptr;
    if (state == nullptr || !state->connected.load())
        return 0;
    if (length <= 0)
        return 1;
    if (CodeMode.load() == ModeBaudot) {
        for (std::int32_t i = 0; i < length; ++i)
            SendBaudotChar(window, bytes[i]);
        return 1;
    }
    WriteCommBlock(window, bytes, length);
    if (state->localEcho)
        Echo(window, reinterpret_cast<const char*>(bytes), length);
    return 1;
}

void ForgetShiftSent() {
    Process().sender.ForgetShift();
}

}  // namespace tavirel
