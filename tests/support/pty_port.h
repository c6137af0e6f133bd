// A pseudo-terminal for a serial line, the master the far end. While it lives
// the slave is COM3 (through XDG_CONFIG_HOME) and lock files go to its own folder.
#pragma once

#include <filesystem>
#include <optional>

#include "link/connection.h"
#include "link/port_lock.h"
#include "tests/support/fake_window.h"
#include "tests/support/files.h"

namespace tavirel::test {

class PtyLine {
  public:
    PtyLine();
    ~PtyLine();

    bool ok() const { return ok_; }
    const std::string& slavePath() const { return slavePath_; }
    std::filesystem::path portFolder() const { return root_.path / "tavirel" / "ports"; }
    std::filesystem::path lockFolder() const { return root_.path / "lock"; }
    std::filesystem::path lockFile() const { return lockFolder() / LockFileName(slavePath_); }

    // Up to n bytes the port sent; fewer when the time runs out or the slave is closed.
    std::vector<std::uint8_t> ReadFromFarEnd(std::size_t n, std::chrono::milliseconds limit);
    bool WriteFromFarEnd(const std::vector<std::uint8_t>& bytes);
    void CloseFarEnd();

  private:
    bool ok_ = false;
    int master_ = -1;
    std::string slavePath_;
    TempDir root_;
    std::optional<std::string> savedConfigHome_;
};

// The link on a pseudo-terminal line; the port opener is restored.
class PtyLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(line.ok());
        ASSERT_TRUE(CreateLinkEvents(state));
    }
    void TearDown() override {
        CloseConnection(&window);
        SetPortOpener(nullptr);
    }
    // 1.5 stop bits at 5 data bits, 1 otherwise.
    void Open(CodeModeValue mode, std::uint32_t baud, std::uint8_t bits) {
        CodeMode = mode;
        state.baudRate = baud;
        state.byteSize = bits;
        state.stopBits = bits == 5 ? 1 : 0;
        ASSERT_NE(OpenConnection(&window), 0);
    }

    PtyLine line;
    TtyState state;
    FakeWindow window{&state};
};

}  // namespace tavirel::test
