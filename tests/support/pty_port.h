// A pseudo-terminal standing in for a serial line, the master side the far
// end. While it exists the slave is COM3 in a port folder of its own (through
// XDG_CONFIG_HOME) and lock files go to a folder of its own.
#pragma once

#include <filesystem>
#include <optional>

#include "tests/support/fake_window.h"

namespace tavirel::test {

class PtyLine {
  public:
    PtyLine();
    ~PtyLine();

    bool ok() const { return ok_; }
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    std::filesystem::path portFolder() const { return root_ / "tavirel" / "ports"; }
    std::filesystem::path lockFolder() const { return root_ / "lock"; }
    std::filesystem::path lockFile() const;

    // Up to n bytes the port sent; fewer when the time runs out or the slave is closed.
    std::vector<std::uint8_t> ReadFromFarEnd(std::size_t n, std::chrono::milliseconds limit);
    bool WriteFromFarEnd(const std::vector<std::uint8_t>& bytes);
    void CloseFarEnd();

  private:
    bool ok_ = false;
    int master_ = -1;
    std::string slavePath_;
    std::filesystem::path root_;
    std::optional<std::string> savedConfigHome_;
};

// The link opened by its COM name on a pseudo-terminal line; the close, the
// port opener and CodeMode are restored afterwards.
class PtyLinkTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // 1.5 stop bits at 5 data bits, 1 otherwise.
    void Open(CodeModeValue mode, std::uint32_t baud, std::uint8_t bits);

    PtyLine line;
    const CodeModeValue savedMode = CodeMode.load();
    TtyState state;
    FakeWindow window{&state};
};

}  // namespace tavirel::test
