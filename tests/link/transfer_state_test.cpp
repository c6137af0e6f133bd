#include "link/transfer_state.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "tests/support/files.h"

namespace tavirel {
namespace {

class RecordingDialog : public ProgressDialog {
  public:
    void CountersChanged() override { ++changes; }
    void CaptureFailed(int error) override { failures.push_back(error); }
    int changes = 0;
    std::vector<int> failures;
};

// However its dialog goes away, the capture ends with it: the reader no
// longer counts, tells the gone dialog or appends, and the file is closed.
// What was appended is on disk before the close, and a flood of blocks costs
// the dialog one announcement until it takes the counters.
TEST(TransferGuardTest, EndsItsCaptureWhenTheDialogGoesAway) {
    const test::TempDir dir;
    const std::string path = dir / "x.cap";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    RecordingDialog dialog;
    const std::uint8_t chars[] = {'H', 'I'};
    {
        TransferGuard guard;
        guard.Start(file, &dialog);
        EXPECT_TRUE(guard.Running());
        for (int i = 0; i < 3; ++i)
            Transfer().RecordBlock(chars, 2, 3);
        EXPECT_EQ(test::ReadFile(path), "HIHIHI");  // reached the system already
        EXPECT_EQ(dialog.changes, 1);
        const TransferCounters counters = Transfer().TakeCounters();
        EXPECT_EQ(std::pair(counters.bytesRead, counters.bytesSaved), std::pair(9, 6));
        Transfer().RecordBlock(chars, 0, 1);  // shifts only: counted, nothing appended
        EXPECT_EQ(dialog.changes, 2);
    }
    Transfer().RecordBlock(chars, 2, 3);
    EXPECT_EQ(dialog.changes, 2);
    EXPECT_EQ(Transfer().BytesRead(), 10);
    EXPECT_EQ(Transfer().Finish(), nullptr);
    EXPECT_EQ(test::ReadFile(path), "HIHIHI");

    // Ending early (Stop, Exit) and then going away closes once; a guard
    // that started nothing leaves another's capture alone.
    std::FILE* other = std::tmpfile();
    ASSERT_NE(other, nullptr);
    {
        TransferGuard stopped;
        stopped.Start(std::tmpfile(), nullptr);
        EXPECT_TRUE(stopped.End());
        EXPECT_FALSE(stopped.Running());
        Transfer().Start(other, nullptr);
    }
    { TransferGuard idle; }
    EXPECT_EQ(Transfer().Finish(), other);
    std::fclose(other);
}

// A full disk, or a pipe whose reader has gone (SIGPIPE is ignored, as the
// program does): the dialog hears of it once, "Bytes Saved" counts what the
// file took, and the capture takes nothing more.
TEST(TransferGuardTest, AFailedAppendStopsTheCaptureAndIsReportedOnce) {
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &saved);
    const auto pipeWithoutReader = []() -> std::FILE* {
        int fds[2];
        if (pipe(fds) != 0)
            return nullptr;
        close(fds[0]);
        return fdopen(fds[1], "wb");
    };
    const struct Row {
        const char* name;
        std::FILE* file;
        int error;
    } rows[] = {{"a full disk", std::fopen("/dev/full", "wb"), ENOSPC},
                {"a pipe whose reader has gone", pipeWithoutReader(), EPIPE}};
    for (const Row& row : rows) {
        ASSERT_NE(row.file, nullptr) << row.name;
        RecordingDialog dialog;
        TransferGuard guard;
        guard.Start(row.file, &dialog);
        const std::uint8_t chars[] = {'H', 'I'};
        Transfer().RecordBlock(chars, 2, 3);
        Transfer().RecordBlock(chars, 2, 3);
        EXPECT_EQ(dialog.failures, std::vector<int>{row.error}) << row.name;
        EXPECT_EQ(Transfer().BytesRead(), 3) << row.name;
        EXPECT_EQ(Transfer().BytesSaved(), 0) << row.name;
    }
    sigaction(SIGPIPE, &saved, nullptr);
}

}  // namespace
}  // namespace tavirel
