#include "link/transfer_state.h"

#include <gtest/gtest.h>
#include <csignal>

#include "tests/support/files.h"

namespace tavirel {
namespace {

struct RecordingDialog : ProgressDialog {
    void CountersChanged() override { ++changes; }
    void CaptureFailed(int error) override { failures.push_back(error); }
    int changes = 0;
    std::vector<int> failures;
};

constexpr std::uint8_t kChars[] = {'H', 'I'};

// A flood of blocks costs the dialog one announcement until it takes the counters.
TEST(TransferGuardTest, EndsItsCaptureWhenTheDialogGoesAway) {
    const test::TempDir dir;
    const std::string path = dir / "x.cap";
    RecordingDialog dialog;
    {
        TransferGuard guard;
        guard.Start(std::fopen(path.c_str(), "wb"), &dialog);
        EXPECT_TRUE(guard.Running());
        for (int i = 0; i < 3; ++i)
            Transfer().RecordBlock(kChars, 2, 3);
        EXPECT_EQ(test::ReadFile(path), "HIHIHI");
        EXPECT_EQ(dialog.changes, 1);
        const TransferCounters counters = Transfer().TakeCounters();
        EXPECT_EQ(std::pair(counters.bytesRead, counters.bytesSaved), std::pair(9, 6));
        Transfer().RecordBlock(kChars, 0, 1);
        EXPECT_EQ(dialog.changes, 2);
    }
    Transfer().RecordBlock(kChars, 2, 3);
    EXPECT_EQ(dialog.changes, 2);
    EXPECT_EQ(Transfer().BytesRead(), 10);
    EXPECT_EQ(Transfer().Finish(), nullptr);
    EXPECT_EQ(test::ReadFile(path), "HIHIHI");

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

// SIGPIPE is ignored, as the program does.
TEST(TransferGuardTest, AFailedAppendStopsTheCaptureAndIsReportedOnce) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    const auto saved = std::signal(SIGPIPE, SIG_IGN);
    const struct Row {
        const char* name;
        std::FILE* file;
        int error;
    } rows[] = {{"a full disk", std::fopen("/dev/full", "wb"), ENOSPC},
                {"a pipe whose reader has gone", fdopen(pipeEnds[1], "wb"), EPIPE}};
    for (const Row& row : rows) {
        ASSERT_NE(row.file, nullptr) << row.name;
        RecordingDialog dialog;
        TransferGuard guard;
        guard.Start(row.file, &dialog);
        Transfer().RecordBlock(kChars, 2, 3);
        Transfer().RecordBlock(kChars, 2, 3);
        EXPECT_EQ(dialog.failures, std::vector<int>{row.error}) << row.name;
        EXPECT_EQ(Transfer().BytesRead(), 3) << row.name;
        EXPECT_EQ(Transfer().BytesSaved(), 0) << row.name;
    }
    std::signal(SIGPIPE, saved);
}

}  // namespace
}  // namespace tavirel
