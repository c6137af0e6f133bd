// The one file that sees <asm/termbits.h> (through <asm/termios.h>). It must
// not include <termios.h>, <sys/ioctl.h> or
// anything that pulls them in; ioctl is declared here for that reason.
#include "link/line_settings.h"

#include "link/port.h"
#include "link/write_queue.h"

#include <asm/termbits.h>
#include <asm/termios.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace tavirel {

static_assert(kTermiosBother == BOTHER);

int RetryIoctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

namespace {

// A device without modem lines answers these; the settings still apply.
bool NoModemLines(int err) {
    return err == ENOTTY || err == EINVAL;
}

}  // namespace

LinePlan PlanLine(const TtyState& state, CodeModeValue mode) {
    LinePlan p;
    static constexpr std::uint32_t sizes[4] = {CS5, CS6, CS7, CS8};
    if (state.byteSize < 5 || state.byteSize > 8 || state.parity > 4 || state.stopBits > 2 ||
        state.baudRate == 0) {
        return p;
    }
    p.valid = true;

    p.cflag = CREAD | CLOCAL | BOTHER | sizes[state.byteSize - 5];
    switch (state.parity) {
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
    if (state.stopBits != 0)
        p.cflag |= CSTOPB;
    p.ispeed = p.ospeed = state.baudRate;

    // Line errors come in-band: FF 00 c marks a bad character, FF 00 00 a break.
    p.iflag = INPCK | PARMRK;

    const bool terminal = mode == ModeTerminal;
    const std::uint8_t flow = state.flowControl;
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

int SetupConnection(TtyState* state) {
    if (state == nullptr || state->commHandle == nullptr)
        return 0;
    const int result = state->commHandle->Apply(PlanLine(*state, CodeMode.load()));
    if (result && state->writer)
        state->writer->SetCharacterTime(CharacterTime(*state));
    return result;
}

std::chrono::nanoseconds CharacterTime(const TtyState& s) {
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
