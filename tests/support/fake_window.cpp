#include "tests/support/fake_window.h"

#include <unistd.h>

#include "link/connection.h"
#include "link/line_settings.h"

namespace tavirel {

void PrintTo(const WriteDone& done, std::ostream* out) {
    static const char* const kHow[] = {"Complete", "TimedOut", "CutShort", "Failed"};
    *out << "{" << done.id << ", " << done.bytesSent << ", " << kHow[static_cast<int>(done.how)]
         << "}";
}

}  // namespace tavirel

namespace tavirel::test {

void FakeWindow::WakeReceived() {
    ++wakes_;
    if (!taking_)
        return;
    std::lock_guard lock(mutex_);
    std::string taken;
    state_->received.TakeAll(taken);
    received_ += taken;
    screen_ += taken;
}

void MockClock::Advance(std::chrono::nanoseconds d) {
    std::lock_guard lock(mutex_);
    now_ += d;
    for (int fd : sleepers_) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
    }
}

void FakeLinkTest::SetUp() {
    ASSERT_TRUE(CreateLinkEvents(state));
    auto owned = std::make_unique<FakePort>();
    port = owned.get();
    state.commHandle = std::move(owned);
    state.connected = 1;
    Reconnect();
}

void FakeLinkTest::TearDown() {
    state.writer.reset();
    CodeMode = savedMode;
}

void FakeLinkTest::Reconnect() {
    state.writer.reset();
    state.writer =
        std::make_unique<WriteQueue>(&window, &state, port, state.writeEvent,
                                     WriteMsPerByte(state.baudRate), CharacterTime(state), *clock);
}

}  // namespace tavirel::test
