// A pseudo-terminal standing in for a serial line. The test keeps the master
// side as the far end; the slave is reachable as COM3 through a port folder
// of its own (XDG_CONFIG_HOME points at it while the line exists), so the code
// under test opens it by name like a real port. Lock files go to a folder of
// the line's own meanwhile.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_window.h"

namespace tavirel::test {

class PtyLine {
  public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // False when the pair or the folder could not be made.
    bool ok() const { return ok_; }
    // The far end's descriptor, for the benchmarks that time it themselves.
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    std::filesystem::path portFolder() const { return root_ / "tavirel" / "ports"; }
    std::filesystem::path lockFolder() const { return root_ / "lock"; }
    // The slave's lock file, whoever wrote it.
    std::filesystem::path lockFile() const;

    // Up to n bytes the port sent, waiting at most limit for them; fewer when
    // the time runs out or nobody holds the slave open.
    std::vector<std::uint8_t> ReadFromFarEnd(std::size_t n, std::chrono::milliseconds limit);
    // False when the bytes did not all go within two seconds.
    bool WriteFromFarEnd(const std::vector<std::uint8_t>& bytes);
    // Hangs the line up.
    void CloseFarEnd();

  private:
    bool ok_ = false;
    int master_ = -1;
    std::string slavePath_;
    std::filesystem::path root_;
    std::optional<std::string> savedConfigHome_;
};

// The link opened by its COM name on a pseudo-terminal line; the close, the
// default port opener and CodeMode are restored afterwards.
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
