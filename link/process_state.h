// Everything that lives for the whole run outside the main window's record,
// in one place: the BAUDOT sender's record of the shift last sent, the
// receive decoder's shift, the one file transfer and the converters' shifts.
//
// A teleprinter keeps its shift across a reconnect and a change of code mode,
// so nothing resets these during a run. Tests start each case afresh with
// ResetProcessStateForTests(); the program never calls it.
#pragma once

#include <cstdint>

#include "code/baudot_sender.h"
#include "code/ita2.h"
#include "convert/steps.h"
#include "link/transfer_state.h"

namespace tavirel {

struct ProcessState {
    BaudotSender sender;    // the UI thread encodes; any thread may forget the shift
    BaudotDecoder decoder;  // the reader thread alone decodes
    TransferState transfer;
    ConverterState converters;  // the UI thread alone converts
};

// Made on first use, kept to the end of the run.
ProcessState& Process();

// Back to the state at start: no shift known or received, no transfer, the
// counters at 0, the converters as at start. Only while no connection is open; a file still in the
// transfer is left to whoever opened it.
void ResetProcessStateForTests();

// The reader's decoding of a received block, with the process's decoder.
std::int32_t DecodeBaudotBlock(std::uint8_t* buffer, std::int32_t length);

}  // namespace tavirel
