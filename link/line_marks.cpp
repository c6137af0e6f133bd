#include "link/line_marks.h"

#include "link/port.h"

namespace tavirel {

int LineMarkParser::Parse(std::uint8_t* buffer, int lead, int end) {
    int out = 0;
    for (int in = lead; in < end; ++in) {
        const std::uint8_t c = buffer[in];
        switch (state_) {
            case State::Data:
                if (c == 0xFF)
                    state_ = State::Escape;
                else
                    buffer[out++] = c;
                break;
            case State::Escape:
                if (c == 0xFF) {
                    buffer[out++] = 0xFF;
                    state_ = State::Data;
                } else if (c == 0) {
                    state_ = State::EscapeZero;
                } else {
                    // Not a mark the kernel makes: both bytes are data.
                    if (out < in)
                        buffer[out++] = 0xFF;
                    buffer[out++] = c;
                    state_ = State::Data;
                }
                break;
            case State::EscapeZero:
                if (c == 0) {
                    flags_ |= CE_BREAK;
                } else {
                    flags_ |= CE_FRAME;
                    buffer[out++] = c;
                }
                state_ = State::Data;
                break;
        }
    }
    return out;
}

std::uint32_t LineMarkParser::TakeFlags() {
    const std::uint32_t f = flags_;
    flags_ = 0;
    return f;
}

}  // namespace tavirel
