#include "terminal/status_line.h"

#include <gtest/gtest.h>

namespace tavirel {
namespace {

TEST(StatusLineTest, SaysTheLineItsSetUpTheShiftAndATransfer) {
    const struct {
        StatusFacts facts;
        const char* text;
    } rows[] = {
        {{false, "COM3", "/dev/ttyS2", 45, 5, 0, 1, ModeBaudot, 0, TransferKind::None, 0},
         "Not connected | COM3 \u2192 /dev/ttyS2 | 45 baud 5N1.5 | BAUDOT, shift not known"},
        {{true, "COM1", "/dev/ttyUSB0", 50, 5, 0, 2, ModeBaudot, 27, TransferKind::Send, 41},
         "Connected | COM1 \u2192 /dev/ttyUSB0 | 50 baud 5N2 | BAUDOT, figures | "
         "Sending: 41 bytes sent"},
        {{true, "COM2", "/dev/pts/4", 9600, 8, 2, 0, ModeAscii, 31, TransferKind::Capture, 7},
         "Connected | COM2 \u2192 /dev/pts/4 | 9600 baud 8E1 | ASCII | "
         "Capturing: 7 bytes saved"},
        {{true, "COM9", "", 110, 7, 3, 9, ModeTerminal, 31, TransferKind::None, 0},
         "Connected | COM9 \u2192 ? | 110 baud 7M? | Terminal"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StatusText(row.facts), row.text);
}

}  // namespace
}  // namespace tavirel
