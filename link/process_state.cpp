#include "link/process_state.h"

namespace tavirel {

ProcessState& Process() {
    static ProcessState state;
    return state;
}

void ResetProcessStateForTests() {
    ProcessState& p = Process();
    p.sender.ForgetShift();
    p.decoder.receiveShift = 0;
    p.transfer.ResetForTests();
    p.converters = {};
}

TransferState& Transfer() {
    return Process().transfer;
}

std::int32_t DecodeBaudotBlock(std::uint8_t* buffer, std::int32_t length) {
    return Process().decoder.Decode(buffer, length);
}

}  // namespace tavirel
