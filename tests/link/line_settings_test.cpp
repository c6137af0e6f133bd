#include "link/line_settings.h"

#include "link/port.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>

namespace tavirel {
namespace {

constexpr std::uint32_t kBaseCflag = CS5 | CSTOPB | CREAD | CLOCAL | kTermiosBother;
constexpr std::uint32_t kBaseIflag = INPCK | PARMRK;

TEST(PlanLine, DefaultRecordInBaudotMode) {
    const TtyState state;
    const LinePlan p = PlanLine(state, ModeBaudot);
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(p.cflag, kBaseCflag);
    EXPECT_EQ(p.cflag & CBAUD, kTermiosBother);
    EXPECT_EQ(p.ispeed, 45u);
    EXPECT_EQ(p.ospeed, 45u);
    EXPECT_EQ(p.iflag, kBaseIflag);
    EXPECT_EQ(p.oflag, 0u);
    EXPECT_EQ(p.lflag, 0u);
    EXPECT_EQ(p.vmin, 0);
    EXPECT_EQ(p.vtime, 0);
    EXPECT_EQ(p.vstart, 17);
    EXPECT_EQ(p.vstop, 19);
    EXPECT_FALSE(p.raiseDtr);
    EXPECT_FALSE(p.raiseRts);
    EXPECT_FALSE(p.waitForCts);
    EXPECT_FALSE(p.waitForDsr);
}

// Only Terminal mode hands flow control to the port; the writer's CTS and DSR
// waits follow the record in every mode.
TEST(PlanLine, FlowControlInEveryMode) {
    for (const CodeModeValue mode : {ModeAscii, ModeBaudot, ModeTerminal}) {
        for (std::uint8_t flow = 0; flow < 8; ++flow) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " flow " << int(flow));
            TtyState state;
            state.flowControl = flow;
            const LinePlan p = PlanLine(state, mode);
            const bool terminal = mode == ModeTerminal;
            ASSERT_TRUE(p.valid);
            EXPECT_EQ(p.raiseDtr, terminal);
            EXPECT_EQ(p.raiseRts, terminal);
            EXPECT_EQ(p.waitForDsr, (flow & 1) != 0);
            EXPECT_EQ(p.waitForCts, (flow & 2) != 0);
            EXPECT_EQ((p.cflag & CRTSCTS) != 0, terminal && (flow & 2) != 0);
            EXPECT_EQ(p.iflag & (IXON | IXOFF), terminal && (flow & 4) ? IXON | IXOFF : 0u);
            EXPECT_EQ(p.cflag & ~std::uint32_t{CRTSCTS}, kBaseCflag);
            EXPECT_EQ(p.iflag & ~std::uint32_t{IXON | IXOFF}, kBaseIflag);
        }
    }
}

TEST(PlanLine, FramingAndSpeed) {
    struct Parity {
        std::uint8_t value;
        std::uint32_t bits;
    };
    for (const Parity c : {Parity{0, 0}, Parity{1, PARENB | PARODD}, Parity{2, PARENB},
                           Parity{3, PARENB | CMSPAR | PARODD}, Parity{4, PARENB | CMSPAR}}) {
        TtyState state;
        state.parity = c.value;
        EXPECT_EQ(PlanLine(state, ModeAscii).cflag & (PARENB | PARODD | CMSPAR), c.bits)
            << "parity " << int(c.value);
    }

    const std::uint32_t stop[] = {0, CSTOPB, CSTOPB};
    for (std::uint8_t s = 0; s <= 2; ++s) {
        TtyState state;
        state.stopBits = s;
        EXPECT_EQ(PlanLine(state, ModeAscii).cflag & CSTOPB, stop[s]) << "stop bits " << int(s);
    }

    const std::uint32_t sizes[] = {CS5, CS6, CS7, CS8};
    for (std::uint8_t b = 5; b <= 8; ++b) {
        TtyState state;
        state.byteSize = b;
        state.parity = 2;
        EXPECT_EQ(PlanLine(state, ModeAscii).cflag & CSIZE, sizes[b - 5]) << "size " << int(b);
    }

    for (const std::uint32_t baud : {45u, 110u, 9600u, 128000u}) {
        TtyState state;
        state.baudRate = baud;
        const LinePlan p = PlanLine(state, ModeTerminal);
        EXPECT_EQ(p.ispeed, baud);
        EXPECT_EQ(p.ospeed, baud);
        EXPECT_EQ(p.cflag & CBAUD, kTermiosBother) << baud;
    }
}

struct Pty {
    int master = -1;
    int slave = -1;
    Pty() { EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0); }
    // The slave opened as the program opens a port; our own descriptor stays
    // open beside it to read back what the device accepted.
    std::unique_ptr<Port> Open() const {
        const char* path = slave >= 0 ? ttyname(slave) : nullptr;
        return path != nullptr ? OpenSerialPort(path) : nullptr;
    }
    ~Pty() {
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
};

// SetupConnection reads the global mode; put it back for the other tests.
struct ModeGuard {
    CodeModeValue saved = CodeMode.load();
    ~ModeGuard() { CodeMode.store(saved); }
};

TEST(ApplyLinePlan, RefusesInvalidValuesAndLeavesThePortAlone) {
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    const TtyState good;
    ASSERT_EQ(ApplyLinePlan(pty.slave, PlanLine(good, ModeBaudot)), 1);

    struct Bad {
        std::uint8_t byteSize, parity, stopBits;
        std::uint32_t baud;
    };
    for (const Bad b : {Bad{4, 0, 1, 9600}, Bad{9, 0, 1, 9600}, Bad{8, 5, 1, 9600},
                        Bad{8, 0, 3, 9600}, Bad{8, 0, 1, 0}}) {
        TtyState state;
        state.byteSize = b.byteSize;
        state.parity = b.parity;
        state.stopBits = b.stopBits;
        state.baudRate = b.baud;
        const LinePlan p = PlanLine(state, ModeTerminal);
        EXPECT_FALSE(p.valid);
        EXPECT_EQ(ApplyLinePlan(pty.slave, p), 0);
        EXPECT_EQ(ReadLineState(pty.slave).ospeed, 45u);
    }
}

TEST(SetupConnection, AppliesToAPseudoTerminal) {
    ModeGuard guard;
    struct Case {
        CodeModeValue mode;
        std::uint32_t baud;
        std::uint8_t stopBits;
        std::uint8_t flow;
    };
    for (const Case c : {Case{ModeBaudot, 45, 1, 0}, Case{ModeBaudot, 128000, 0, 7},
                         Case{ModeTerminal, 128000, 2, 7}, Case{ModeAscii, 45, 0, 2}}) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " baud " << c.baud);
        Pty pty;
        ASSERT_GE(pty.slave, 0);
        CodeMode.store(c.mode);
        TtyState state;
        state.commHandle = pty.Open();
        ASSERT_NE(state.commHandle, nullptr);
        state.baudRate = c.baud;
        state.stopBits = c.stopBits;
        state.flowControl = c.flow;
        // A pty has no modem lines; that must not fail the setup.
        ASSERT_EQ(SetupConnection(&state), 1);

        const LinePlan got = ReadLineState(pty.slave);
        ASSERT_TRUE(got.valid);
        EXPECT_EQ(got.ispeed, c.baud);
        EXPECT_EQ(got.ospeed, c.baud);
        EXPECT_EQ((got.cflag & CSTOPB) != 0, c.stopBits != 0);
        const bool xonXoff = c.mode == ModeTerminal && (c.flow & 4) != 0;
        EXPECT_EQ(got.iflag, kBaseIflag | (xonXoff ? IXON | IXOFF : 0u));
        EXPECT_EQ(got.vstart, 17);
        EXPECT_EQ(got.vstop, 19);
        EXPECT_EQ(got.vmin, 0);
        EXPECT_EQ(got.vtime, 0);
        EXPECT_EQ(got.lflag, 0u);
    }
}

TEST(SetupConnection, FailsWithoutAnOpenPort) {
    ModeGuard guard;
    CodeMode.store(ModeBaudot);
    EXPECT_EQ(SetupConnection(nullptr), 0);
    TtyState state;
    EXPECT_EQ(SetupConnection(&state), 0);

    int closed = -1;
    {
        Pty pty;
        closed = pty.slave;  // the destructor closes it
        state.commHandle = pty.Open();
        ASSERT_NE(state.commHandle, nullptr);
        state.commHandle->Close();
    }
    EXPECT_FALSE(ReadLineState(closed).valid);
    EXPECT_EQ(ApplyLinePlan(closed, PlanLine(TtyState{}, ModeBaudot)), 0);
    EXPECT_EQ(SetupConnection(&state), 0);
}

}  // namespace
}  // namespace tavirel
