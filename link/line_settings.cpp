// The one file that sees <asm/termbits.h> (through <asm/termios.h>). It must
// not include <termios.h>, <sys/ioctl.h> or
// anything that pulls them in; ioctl is declared here for that reason.
#include "link/line_settings.h"

#include "link/port.h"
#include "link/terminal_window.h"
#include "link/tty_state.h"
#include "link/write_queue.h"

#include <asm/termbits.h>
#include <asm/termios.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace tavirel {

static_assert(kTermiosBother == BOTHER);

std::atomic<CodeModeValue> CodeMode{ModeBaudot};

int RetryIoctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

int RetryPoll(pollfd* fds, nfds_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int left = timeoutMs;
    int r;
    while ((r = ::poll(fds, count, left)) < 0 && errno == EINTR) {
        if (timeoutMs >= 0)
            left = static_cast<int>(std::max<std::int64_t>(
                0, std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                std::chrono::steady_clock::now())
                       .count()));
    }
    return r;
}

namespace {

// A device without modem lines answers these; the settings still apply.
bool NoModemLines(int err) {
    return err == ENOTTY || err == EINVAL;
}

std::uint32_t DataBits(const LinePlan& p) {
    switch (p.cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

const char* ParityWords(const LinePlan& p) {
    if ((p.cflag & PARENB) == 0)
        return "no parity";
    if (p.cflag & CMSPAR)
        return (p.cflag & PARODD) ? "mark parity" : "space parity";
    return (p.cflag & PARODD) ? "odd parity" : "even parity";
}

// With 5 data bits CSTOPB is 1.5 stop bits.
const char* StopWords(const LinePlan& p) {
    if ((p.cflag & CSTOPB) == 0)
        return "1 stop bit";
    return DataBits(p) == 5 ? "1.5 stop bits" : "2 stop bits";
}

// Pseudo-terminals carry 8 data bits and no parity whatever they are given;
// only a device with modem lines is a real line worth a word to the operator.
void TellLineDifference(const TtyState& state, Port& port, const LinePlan& asked) {
    if (state.terminalWindow == nullptr || port.ModemLines() < 0)
        return;
    const std::string text = LineDifference(asked, port.Accepted());
    if (text == port.toldDifference)
        return;
    port.toldDifference = text;
    if (!text.empty())
        state.terminalWindow->PostMessageBox(text, "Tavirel");
}

}  // namespace

LinePlan PlanLine(const LineSettings& settings, CodeModeValue mode) {
    LinePlan p;
    static constexpr std::uint32_t sizes[4] = {CS5, CS6, CS7, CS8};
    if (settings.byteSize < 5 || settings.byteSize > 8 || settings.parity > 4 ||
        settings.stopBits > 2 || settings.baudRate == 0) {
        return p;
    }
    p.valid = true;

    p.cflag = CREAD | CLOCAL | BOTHER | sizes[settings.byteSize - 5];
    switch (settings.parity) {
        case 1:
            p.cflag |= PARENB | PARODD;
            break;
        case 2:
            p.cflag |= PARENB;
            break;
        case 3:
            p.cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            p.cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // With 5 data bits a UART sends 1.5 stop bits for CSTOPB.
    if (settings.stopBits != 0)
        p.cflag |= CSTOPB;
    p.ispeed = p.ospeed = settings.baudRate;

    // Line errors come in-band: FF 00 c marks a bad character, FF 00 00 a break.
    p.iflag = INPCK | PARMRK;

    const bool terminal = mode == ModeTerminal;
    const std::uint8_t flow = settings.flowControl;
    p.waitForDsr = (flow & kFlowDtrDsr) != 0;
    p.waitForCts = (flow & kFlowRtsCts) != 0;
    // Outside Terminal mode DTR and RTS are held low and XON/XOFF is off; the
    // CTS and DSR output waits stay as set.
    if (terminal) {
        // DTR "handshake" raises DTR too: Linux has no DTR input flow.
        p.raiseDtr = true;
        p.raiseRts = true;
        if (flow & kFlowRtsCts)
            p.cflag |= CRTSCTS;
        if (flow & kFlowXonXoff)
            p.iflag |= IXON | IXOFF;
    }

    p.vmin = 0;
    p.vtime = 0;
    p.vstart = 17;
    p.vstop = 19;
    return p;
}

int ApplyLinePlan(int fd, const LinePlan& plan) {
    if (!plan.valid)
        return 0;
    struct termios2 t {};
    if (RetryIoctl(fd, TCGETS2, &t) < 0)
        return 0;
    t.c_iflag = plan.iflag;
    t.c_oflag = plan.oflag;
    t.c_cflag = plan.cflag;
    t.c_lflag = plan.lflag;
    t.c_ispeed = plan.ispeed;
    t.c_ospeed = plan.ospeed;
    t.c_cc[VMIN] = plan.vmin;
    t.c_cc[VTIME] = plan.vtime;
    t.c_cc[VSTART] = plan.vstart;
    t.c_cc[VSTOP] = plan.vstop;
    if (RetryIoctl(fd, TCSETS2, &t) < 0)
        return 0;

    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    if (RetryIoctl(fd, plan.raiseDtr ? TIOCMBIS : TIOCMBIC, &dtr) < 0 && !NoModemLines(errno))
        return 0;
    if (RetryIoctl(fd, plan.raiseRts ? TIOCMBIS : TIOCMBIC, &rts) < 0 && !NoModemLines(errno))
        return 0;
    return 1;
}

LinePlan ReadLineState(int fd) {
    LinePlan p;
    struct termios2 t {};
    if (RetryIoctl(fd, TCGETS2, &t) < 0)
        return p;
    p.valid = true;
    p.iflag = t.c_iflag;
    p.oflag = t.c_oflag;
    p.cflag = t.c_cflag;
    p.lflag = t.c_lflag;
    p.ispeed = t.c_ispeed;
    p.ospeed = t.c_ospeed;
    p.vmin = t.c_cc[VMIN];
    p.vtime = t.c_cc[VTIME];
    p.vstart = t.c_cc[VSTART];
    p.vstop = t.c_cc[VSTOP];
    int lines = 0;
    if (RetryIoctl(fd, TIOCMGET, &lines) == 0) {
        p.raiseDtr = (lines & TIOCM_DTR) != 0;
        p.raiseRts = (lines & TIOCM_RTS) != 0;
    }
    return p;
}

LineFraming FramingOf(const LinePlan& p) {
    LineFraming f;
    f.baud = p.ospeed;
    f.dataBits = static_cast<int>(DataBits(p));
    f.parity = (p.cflag & PARENB) != 0;
    f.stopHalfBits = (p.cflag & CSTOPB) == 0 ? 2 : f.dataBits == 5 ? 3 : 4;
    return f;
}

std::string DescribeLine(const LinePlan& p) {
    return std::to_string(p.ospeed) + " baud, " + std::to_string(DataBits(p)) + " data bits, " +
           ParityWords(p) + ", " + StopWords(p);
}

std::string LineDifference(const LinePlan& asked, const LinePlan& accepted) {
    if (!asked.valid || !accepted.valid)
        return {};
    const auto speedOff = [](std::uint64_t want, std::uint64_t got) {
        return (want > got ? want - got : got - want) * 50 > want;  // more than 2 %
    };
    if (!speedOff(asked.ospeed, accepted.ospeed) && DataBits(asked) == DataBits(accepted) &&
        std::string_view(ParityWords(asked)) == ParityWords(accepted) &&
        std::string_view(StopWords(asked)) == StopWords(accepted)) {
        return {};
    }
    return "The port runs at " + DescribeLine(accepted) + "; " + DescribeLine(asked) +
           " were asked for. The adapter cannot do what was asked, so the machine may not "
           "print what is sent.";
}

int SetupConnection(TtyState* state) {
    if (state == nullptr || state->commHandle == nullptr)
        return 0;
    Port& port = *state->commHandle;
    const LinePlan plan = PlanLine(*state, CodeMode.load());
    const int result = port.Apply(plan);
    if (result == 0)
        return 0;
    if (state->writer)
        state->writer->SetCharacterTime(CharacterTime(*state));
    TellLineDifference(*state, port, plan);
    return result;
}

std::chrono::nanoseconds CharacterTime(const LineSettings& s) {
    if (s.baudRate == 0)
        return std::chrono::nanoseconds(0);
    // In half bits, so 1.5 stop bits stay exact.
    const std::int64_t halfBits =
        2 * (1 + s.byteSize + (s.parity != 0 ? 1 : 0)) + (s.stopBits == 0   ? 2
                                                          : s.stopBits == 1 ? 3
                                                                            : 4);
    return std::chrono::nanoseconds(halfBits * 500'000'000 / s.baudRate);
}

}  // namespace tavirel
