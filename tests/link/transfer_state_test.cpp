#include "link/transfer_state.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "link/process_state.h"
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

// A full disk: the dialog hears of it once, "Bytes Saved" counts what the
// file took, and the capture takes nothing more.
TEST(TransferGuardTest, AFailedAppendStopsTheCaptureAndIsReportedOnce) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    RecordingDialog dialog;
    TransferGuard guard;
    guard.Start(full, &dialog);
    const std::uint8_t chars[] = {'H', 'I'};
    Transfer().RecordBlock(chars, 2, 3);
    Transfer().RecordBlock(chars, 2, 3);
    EXPECT_EQ(dialog.failures, std::vector<int>{ENOSPC});
    EXPECT_EQ(Transfer().BytesRead(), 3);
    EXPECT_EQ(Transfer().BytesSaved(), 0);
}

}  // namespace
}  // namespace tavirel
