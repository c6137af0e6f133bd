#include "link/line_settings.h"

#include <fcntl.h>
#include <termios.h>

#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

constexpr std::uint32_t kBaseCflag = CS5 | CSTOPB | CREAD | CLOCAL | kTermiosBother;
constexpr std::uint32_t kBaseIflag = INPCK | PARMRK;

// Only Terminal mode hands flow control to the port; the writer's waits follow it always.
TEST(PlanLine, DefaultSettingsInEveryModeAndFlowControl) {
    for (const CodeModeValue mode : {ModeAscii, ModeBaudot, ModeTerminal}) {
        for (std::uint8_t flow = 0; flow < 8; ++flow) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " flow " << int(flow));
            const LinePlan p = PlanLine({.flowControl = flow, .sound = {}}, mode);
            const bool terminal = mode == ModeTerminal;
            EXPECT_EQ(p.cflag, kBaseCflag | (terminal && (flow & 2) ? CRTSCTS : 0u));
            EXPECT_EQ(p.iflag, kBaseIflag | (terminal && (flow & 4) ? IXON | IXOFF : 0u));
            EXPECT_EQ(p.oflag | p.lflag | p.vmin | p.vtime, 0u);
            EXPECT_EQ(std::pair(p.vstart + 0, p.vstop + 0), std::pair(17, 19));
            EXPECT_EQ(std::pair(p.raiseDtr, p.raiseRts), std::pair(terminal, terminal));
            EXPECT_EQ(std::pair(p.waitForDsr, p.waitForCts),
                      std::pair((flow & kFlowDtrDsr) != 0, (flow & kFlowRtsCts) != 0));
        }
    }
}

using LineSetup = test::PtyLinkTest;

TEST_F(LineSetup, FramingAndSpeedReachAPseudoTerminalOrAreRefused) {
    const int slave = open(line.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    CodeMode = ModeTerminal;
    state.flowControl = kFlowXonXoff;
    state.terminalWindow = &window;
    state.commHandle = OpenSerialPort(line.slavePath());
    ASSERT_NE(state.commHandle, nullptr);
    struct Case {
        std::uint8_t size, parity, stop;
        std::uint32_t baud, bits;  // bits: CSIZE, parity and CSTOPB; 0 for a refusal
    };
    for (const Case c :
         {Case{5, 0, 1, 45, CS5 | CSTOPB}, Case{8, 1, 0, 9600, CS8 | PARENB | PARODD},
          Case{7, 2, 2, 110, CS7 | PARENB | CSTOPB},
          Case{6, 3, 0, 128000, CS6 | PARENB | CMSPAR | PARODD},
          Case{8, 4, 2, 300, CS8 | PARENB | CMSPAR | CSTOPB}, Case{4, 0, 1, 9600, 0},
          Case{9, 0, 1, 9600, 0}, Case{8, 5, 1, 9600, 0}, Case{8, 0, 3, 9600, 0},
          Case{8, 0, 1, 0, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << int(c.size) << int(c.parity) << int(c.stop) << " " << c.baud);
        state.byteSize = c.size;
        state.parity = c.parity;
        state.stopBits = c.stop;
        state.baudRate = c.baud;
        EXPECT_EQ(SetupConnection(&state), c.bits != 0 ? 1 : 0);  // no modem lines is no failure
        if (c.bits == 0)
            continue;
        const LinePlan p = PlanLine(state, ModeTerminal);
        EXPECT_EQ(p.cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.bits);
        EXPECT_EQ(p.ispeed, c.baud);
        const LinePlan got = ReadLineState(slave);
        EXPECT_EQ(got.ospeed, c.baud);
        EXPECT_EQ(got.cflag & CSTOPB, c.bits & CSTOPB);
        EXPECT_EQ(got.iflag, kBaseIflag | IXON | IXOFF);
    }
    close(slave);

    EXPECT_EQ(SetupConnection(nullptr), 0);
    state.commHandle.reset();
    EXPECT_EQ(SetupConnection(&state), 0);
}

LinePlan Plan(std::uint32_t baud, std::uint8_t size, std::uint8_t parity, std::uint8_t stop) {
    return PlanLine(
        {.baudRate = baud, .byteSize = size, .parity = parity, .stopBits = stop, .sound = {}},
        ModeBaudot);
}

TEST(LineDifference, SaysWhatThePortRunsAtAndWhatWasAskedFor) {
    const LinePlan asked = Plan(45, 5, 0, 1);
    struct Case {
        LinePlan asked, accepted;
        const char* runs;  // empty: nothing to tell
    };
    for (const Case& c : {
             Case{asked, asked, ""},
             Case{asked, LinePlan{}, ""},  // nothing read back
             Case{Plan(9600, 8, 0, 0), Plan(9615, 8, 0, 0), ""},
             Case{Plan(50, 5, 0, 1), Plan(51, 5, 0, 1), ""},  // 2 % exactly
             Case{asked, Plan(46, 5, 0, 1), "46 baud, 5 data bits, no parity, 1.5 stop bits"},
             Case{asked, Plan(45, 8, 0, 1), "45 baud, 8 data bits, no parity, 2 stop bits"},
             Case{asked, Plan(300, 8, 0, 0), "300 baud, 8 data bits, no parity, 1 stop bit"},
             Case{Plan(110, 7, 3, 2), Plan(110, 7, 4, 2),
                  "110 baud, 7 data bits, space parity, 2 stop bits"},
             Case{Plan(110, 7, 1, 2), Plan(110, 7, 2, 2),
                  "110 baud, 7 data bits, even parity, 2 stop bits"},
         }) {
        // The whole sentence is the message box's, below.
        const std::string text = LineDifference(c.asked, c.accepted);
        EXPECT_EQ(text.substr(0, text.find(';')),
                  *c.runs ? "The port runs at " + std::string(c.runs) : "");
    }
    EXPECT_EQ(DescribeLine(Plan(110, 7, 1, 2)), "110 baud, 7 data bits, odd parity, 2 stop bits");
    EXPECT_EQ(DescribeLine(Plan(110, 6, 3, 0)), "110 baud, 6 data bits, mark parity, 1 stop bit");
}

// A device without modem lines (a pseudo-terminal) never tells a difference.
TEST(SetupConnection, TellsADifferenceOncePerConnection) {
    TtyState state;
    test::FakeWindow window(&state);
    state.terminalWindow = &window;
    const auto port = [&] { return static_cast<test::FakePort*>(state.commHandle.get()); };
    state.commHandle = std::make_unique<test::FakePort>();
    port()->accepted = Plan(300, 8, 0, 0);
    ASSERT_EQ(SetupConnection(&state), 1);
    ASSERT_EQ(SetupConnection(&state), 1);
    ASSERT_EQ(window.Boxes().size(), 1u);
    EXPECT_EQ(window.Boxes()[0],
              "Tavirel: The port runs at 300 baud, 8 data bits, no parity, 1 stop bit; 45 baud, "
              "5 data bits, no parity, 1.5 stop bits were asked for. The adapter cannot do what "
              "was asked, so the machine may not print what is sent.");
    port()->accepted = Plan(600, 8, 0, 0);
    SetupConnection(&state);
    EXPECT_EQ(window.Boxes().size(), 2u);

    state.commHandle = std::make_unique<test::FakePort>();
    port()->accepted = Plan(600, 8, 0, 0);
    SetupConnection(&state);
    EXPECT_EQ(window.Boxes().size(), 3u);

    port()->SetHasModemLines(false);
    port()->accepted = Plan(45, 8, 0, 1);
    SetupConnection(&state);
    EXPECT_EQ(window.Boxes().size(), 3u);
}

}  // namespace
}  // namespace tavirel
