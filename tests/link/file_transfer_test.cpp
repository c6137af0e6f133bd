#include "code/line_ends.h"
#include "link/file_send.h"
#include "link/transfer_state.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Ends = std::vector<std::pair<FileSend::End, int>>;  // with the error
using enum FileSend::End;

struct FileTransferTest : test::PtyLinkTest {
    // As its dialog runs it: started, then fed the window's write ends.
    std::unique_ptr<FileSend> Begin(std::FILE* file, std::size_t block = 64000,
                                    std::vector<std::size_t> crBefore = {}) {
        auto send = std::make_unique<FileSend>(
            &window, file,
            FileSend::Events{
                [this](std::int64_t i) { sent.push_back(i); },
                [this](FileSend::End end, int error) { ends.emplace_back(end, error); }},
            std::move(crBefore), block);
        send->Start();
        return send;
    }
    std::FILE* File(const std::string& name, std::string_view bytes) {
        return std::fopen(test::WriteFile(dir / name, bytes).c_str(), "rb");
    }
    template <typename F>
    bool FeedUntil(FileSend& send, F done) {
        return test::Eventually(
            [&] {
                for (const std::vector<WriteDone> dones = window.Dones(); taken < dones.size();)
                    send.OnWriteDone(dones[taken++]);
                return done();
            },
            10s);
    }

    test::TempDir dir;
    std::vector<std::int64_t> sent;
    Ends ends;
    std::size_t taken = 0;
};

// A byte without a code takes its turn and sends nothing; the first 0 ends the file.
TEST_F(FileTransferTest, ABaudotSendGoesThroughTheSenderAtTheLinesPace) {
    Open(ModeBaudot, 1200, 5);
    const std::string file("A1\r\n\311B\0ZZ", 9);
    auto send = Begin(File("a", file), 4);
    ASSERT_TRUE(FeedUntil(*send, [&] { return !send->Running(); }));
    EXPECT_EQ(line.ReadFromFarEnd(8, 2s), (Bytes{31, 3, 27, 23, 31, 8, 2, 25}));
    EXPECT_EQ(sent, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(ends, (Ends{{Done, 0}}));
    EXPECT_EQ(window.Screen(), "A1\r\n\311B");

    state.localEcho = 1;
    state.newLine = 1;
    auto echoed = Begin(File("a", file), 4);
    ASSERT_TRUE(FeedUntil(*echoed, [&] { return !echoed->Running(); }));
    EXPECT_EQ(window.Screen(), "A1\r\n\311BA1\n\r\n~B");
}

// A CR before each lone line feed is shown, not counted.
TEST_F(FileTransferTest, AnAsciiSendStreamsTheWholeFileAndACaptureTakesAFlood) {
    Open(ModeAscii, 115200, 8);
    Begin(File("empty", ""));
    Begin(File("zero", std::string(1, '\0') + "abc"));
    Begin(std::fopen(dir.path.c_str(), "rb"));
    EXPECT_EQ(ends, (Ends{{Done, 0}, {Done, 0}, {ReadError, EISDIR}}));
    EXPECT_TRUE(sent.empty());

    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += i % 10 == 9 ? '\n' : static_cast<char>('a' + i % 26);
    std::FILE* file = File("a", text + '\0' + "tail\n");
    auto send = Begin(file, 64, LoneLineFeedsInFile(file));
    ASSERT_TRUE(FeedUntil(*send, [&] { return !send->Running(); }));
    const std::string withCr = LoneLfToCrLf(text);
    const Bytes got = line.ReadFromFarEnd(withCr.size(), 2s);
    EXPECT_EQ(std::string(got.begin(), got.end()), withCr);
    ASSERT_EQ(sent.size(), text.size());
    EXPECT_EQ(sent.back(), 999);
    EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end()));
    EXPECT_EQ(window.Screen(), withCr);
    // A pipe cannot be read ahead: it keeps its bytes for the send.
    std::FILE* pipe = ::popen("echo AB", "r");
    EXPECT_TRUE(LoneLineFeedsInFile(pipe).empty());
    EXPECT_EQ(std::fgetc(pipe), 'A');
    ::pclose(pipe);

    TransferGuard guard;
    guard.Start(std::fopen((dir / "x.cap").c_str(), "wb"), nullptr);
    constexpr std::size_t kTotal = 1 << 20;
    Bytes data(kTotal);
    for (std::size_t i = 0; i < kTotal; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    for (std::size_t at = 0; at < kTotal; at += 4096)
        ASSERT_TRUE(line.WriteFromFarEnd(Bytes(data.begin() + at, data.begin() + at + 4096)));
    ASSERT_TRUE(test::Eventually([] { return Transfer().BytesRead() == kTotal; }, 30s));
    EXPECT_TRUE(guard.End());
    EXPECT_EQ(Transfer().BytesSaved(), kTotal);
    EXPECT_TRUE(test::ReadFile(dir / "x.cap") == std::string(data.begin(), data.end()));

    CloseConnection(&window);
    Begin(File("text", "abc"));
    EXPECT_EQ(ends.back(), std::pair(LineLost, 0));
}

TEST_F(FileTransferTest, StopEndsTheSendWithinACharacter) {
    Open(ModeAscii, 1200, 8);
    auto send = Begin(File("a", std::string(2000, 'x')));
    ASSERT_TRUE(FeedUntil(*send, [&] { return sent.size() >= 5; }));
    send->Stop();
    EXPECT_EQ(ends, (Ends{{Stopped, 0}}));
    const std::size_t counted = sent.size();
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    FeedUntil(*send, [] { return true; });
    EXPECT_EQ(sent.size(), counted);
    EXPECT_LE(line.ReadFromFarEnd(2000, 300ms).size(), counted + 1);
}

}  // namespace
}  // namespace tavirel
