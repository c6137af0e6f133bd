#include "link/transfer_state.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "link/process_state.h"

namespace tavirel {
namespace {

class RecordingDialog : public ProgressDialog {
  public:
    void CountersChanged() override { ++changes; }
    void CaptureFailed(int error) override { failures.push_back(error); }
    int changes = 0;
    std::vector<int> failures;
};

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// However its dialog goes away, the capture ends with it: the reader no
// longer counts, tells the gone dialog or appends, and the file is closed.
// What was appended is on disk before the close, and a flood of blocks costs
// the dialog one announcement until it takes the counters.
TEST(TransferGuardTest, EndsItsCaptureWhenTheDialogGoesAway) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tavirel-guard-" + std::to_string(::getpid()) + ".cap");
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
        EXPECT_EQ(Contents(path), "HIHIHI");  // reached the system already
        EXPECT_EQ(dialog.changes, 1);
        const TransferCounters counters = Transfer().TakeCounters();
        EXPECT_EQ(counters.bytesRead, 9);
        EXPECT_EQ(counters.bytesSaved, 6);
        Transfer().RecordBlock(chars, 0, 1);  // shifts only: counted, nothing appended
        EXPECT_EQ(dialog.changes, 2);
    }
    Transfer().RecordBlock(chars, 2, 3);
    EXPECT_EQ(dialog.changes, 2);
    EXPECT_EQ(Transfer().BytesRead(), 10);
    EXPECT_EQ(Transfer().Finish(), nullptr);
    EXPECT_EQ(Contents(path), "HIHIHI");
    std::filesystem::remove(path);

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

// The whole process state back as at start, whatever a test left behind.
TEST(ProcessStateTest, ResetForTestsForgetsShiftsAndTheTransfer) {
    ProcessState& p = Process();
    EXPECT_EQ(p.sender.Encode('1').count, 2);  // FIGS, then the code
    std::uint8_t figs[] = {27};
    EXPECT_EQ(DecodeBaudotBlock(figs, 1), 0);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    p.transfer.Start(file, nullptr);
    p.transfer.RecordBlock(figs, 0, 5);
    p.transfer.sendInProgress = 1;

    ResetProcessStateForTests();
    EXPECT_EQ(p.sender.lastShiftSent.load(), 0);
    EXPECT_EQ(p.sender.Encode('1').count, 2);  // the shift is sent again
    std::uint8_t e[] = {1};
    ASSERT_EQ(DecodeBaudotBlock(e, 1), 1);
    EXPECT_EQ(e[0], 'E');  // letters again
    EXPECT_EQ(p.transfer.Finish(), nullptr);
    EXPECT_EQ(p.transfer.BytesRead(), 0);
    EXPECT_EQ(p.transfer.sendInProgress.load(), 0);
    std::fclose(file);
}

}  // namespace
}  // namespace tavirel
