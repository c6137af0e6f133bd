#include "link/transfer_state.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "link/process_state.h"

namespace tavirel {
namespace {

class RecordingDialog : public ProgressDialog {
  public:
    void PostItemText(int controlId, const std::string& text) override {
        posts.emplace_back(controlId, text);
    }
    std::vector<std::pair<int, std::string>> posts;
};

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// However its dialog goes away, the transfer ends with it: the reader no
// longer counts, posts to the gone dialog or appends, and the file is closed
// (so what was appended is on disk).
TEST(TransferGuardTest, EndsItsTransferWhenTheDialogGoesAway) {
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
        Transfer().RecordBlock(chars, 2, 3);
        EXPECT_EQ(dialog.posts, (std::vector<std::pair<int, std::string>>{{IDC_BYTES_READ, "3"},
                                                                          {IDC_BYTES_SAVED, "2"}}));
    }
    Transfer().RecordBlock(chars, 2, 3);
    EXPECT_EQ(dialog.posts.size(), 2u);
    EXPECT_EQ(Transfer().BytesRead(), 3);
    EXPECT_EQ(Transfer().Finish(), nullptr);
    EXPECT_EQ(Contents(path), "HI");
    std::filesystem::remove(path);

    // Ending early (Stop, Exit) and then going away closes once; a guard
    // that started nothing leaves another's transfer alone.
    std::FILE* other = std::tmpfile();
    ASSERT_NE(other, nullptr);
    {
        TransferGuard stopped;
        stopped.Start(std::tmpfile(), nullptr);
        stopped.End();
        EXPECT_FALSE(stopped.Running());
        Transfer().Start(other, nullptr);
    }
    { TransferGuard idle; }
    EXPECT_EQ(Transfer().Finish(), other);
    std::fclose(other);
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
