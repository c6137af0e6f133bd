// The in-band line-error marks that INPCK + PARMRK put into the input: FF FF
// is a data byte 255, FF 00 00 a break, FF 00 c a framing or parity error on
// c. A mark can be split across two reads, so the parser keeps its place.
#pragma once

#include <cstdint>

namespace tavirel {

class LineMarkParser {
  public:
    // Raw bytes sit at buffer[lead, end); the data bytes are written from
    // buffer[0] and their count returned. A lone FF left open by the last call
    // may need one byte of room ahead of the new input, so lead should be at
    // least Lead(); without that room such a stray FF is dropped.
    int Parse(std::uint8_t* buffer, int lead, int end);
    int Lead() const { return state_ == State::Escape ? 1 : 0; }

    // CE_BREAK and CE_FRAME seen since the last call.
    std::uint32_t TakeFlags();
    // Forgets a mark in progress (the input was discarded).
    void Reset() { state_ = State::Data; }

  private:
    enum class State { Data, Escape, EscapeZero };
    State state_ = State::Data;
    std::uint32_t flags_ = 0;
};

}  // namespace tavirel
