#include <gtest/gtest.h>

#include "modem/demodulator.h"
#include "modem/modulator.h"
#include "modem/text.h"
#include "tests/support/files.h"
#include "tests/support/modem_channel.h"

namespace tavirel {
namespace {

// The second line starts with a letter: minimodem's sender keeps figures
// across CR and LF, where a machine (and our decoder) returns to letters.
const std::string kText =
    "RYRY THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\r\n"
    "DE TAVIREL -?:$!&#'().,;/\" 73\r\n";

std::string Receive(const std::vector<float>& samples, const ModemSettings& s,
                    double squelch = 0.5) {
    Demodulator demodulator(s);
    demodulator.SetSquelch(squelch);
    std::vector<std::uint8_t> codes;
    for (std::size_t i = 0; i < samples.size(); i += 1000)
        demodulator.Process(samples.data() + i, std::min<std::size_t>(1000, samples.size() - i),
                            codes);
    demodulator.Flush(codes);
    BaudotDecoder decoder;
    return CodesToText(codes, decoder);
}

TEST(Modem, SendThenReceiveIsExactAtEverySpeedAndShift) {
    int row = 0;
    for (const double baud : {45.45, 50.0, 56.88, 74.2, 75.0, 100.0}) {
        for (const double shift : {170.0, 200.0, 425.0, 850.0}) {
            const ModemSettings s{
                .sampleRate = std::vector{8000.0, 48000.0, 11025.0, 8000.0}[row % 4],
                .shift = shift,
                .reverse = row % 2 == 1,
                .baud = baud,
                .stopBits = std::vector{1.0, 1.5, 2.0}[row++ % 3]};
            ASSERT_EQ(CheckSettings(s), "");
            EXPECT_EQ(Receive(Modulate(s, test::Codes(kText)), s), kText)
                << baud << " baud, shift " << shift << ", " << s.stopBits << " stop bits"
                << (s.reverse ? ", reversed" : "") << ", " << s.sampleRate << " Hz";
        }
    }
}

TEST(Modem, ReceivesThroughNoiseOffTuneAndOffSpeed) {
    struct Row {
        const char* name;
        double snr, offset, speed;
    };
    for (const Row& r : {Row{"AWGN", -6.0, 0.0, 1.0}, Row{"100 Hz high", -4.0, 100.0, 1.0},
                         Row{"100 Hz low", -4.0, -100.0, 1.0}, Row{"2 % fast", -4.0, 0.0, 1.02},
                         Row{"2 % slow", -4.0, 0.0, 0.98}}) {
        test::Random random(7);
        const std::string text = test::RandomText(400, random);
        const ModemSettings sent{.mark = ModemSettings{}.mark + r.offset,
                                 .baud = ModemSettings{}.baud * r.speed};
        const auto clean = Modulate(sent, test::Codes(text));
        const auto noisy =
            test::AddNoise(clean, test::Power(clean), sent.sampleRate, r.snr, random);
        EXPECT_LE(test::CharacterErrorRate(text, Receive(noisy, ModemSettings{})), 1.5)  // per cent
            << r.name;
    }
}

// Noise alone opens no squelch but all the way down; all the way up a clean
// signal still does.
TEST(Modem, SquelchFromAlwaysOpenToStrongSignalsOnly) {
    test::Random random(3);
    const ModemSettings s;
    const std::vector<float> silence(static_cast<std::size_t>(120 * s.sampleRate));
    const auto noise = test::AddNoise(silence, 0.125, s.sampleRate, -7.0, random);
    const auto clean = Modulate(s, test::Codes(kText));
    const struct {
        double level;
        const std::vector<float>& input;
        std::size_t fewest, most;
    } rows[] = {{0.0, noise, 20, 100000},
                {0.5, noise, 0, 2},
                {1.0, noise, 0, 0},
                {1.0, clean, kText.size(), kText.size()}};
    for (const auto& r : rows) {
        const std::size_t got = Receive(r.input, s, r.level).size();
        EXPECT_TRUE(got >= r.fewest && got <= r.most) << got << " at " << r.level;
    }
}

class ModemTool : public testing::Test {
  protected:
    std::string Read(const std::string& name) { return test::ReadFile(dir / name); }
    const std::string tool = TAVIREL_MODEM_BIN;
    test::TempDir dir;
};

// An independent modem at the far end cannot share our mistakes.
TEST_F(ModemTool, MinimodemDecodesOursAndWeDecodeMinimodem) {
    if (dir.Sh("minimodem --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "minimodem is not installed (apt-get install minimodem)";
    test::WriteFile(dir / "text.txt", kText);
    ASSERT_EQ(dir.Sh(tool + " send -o ours.wav text.txt"), 0);
    ASSERT_EQ(dir.Sh("minimodem --rx rtty -q -M 2125 -S 2295 -f ours.wav >heard.txt"), 0);
    EXPECT_EQ(Read("heard.txt"), kText);
    for (const char* rate : {"8000", "48000"}) {
        ASSERT_EQ(dir.Sh(std::string("minimodem --tx rtty -M 2125 -S 2295 -R ") + rate +
                         " -f theirs.wav <text.txt && " + tool + " receive theirs.wav >got.txt"),
                  0);
        EXPECT_EQ(Read("got.txt"), kText) << rate << " Hz";
    }
}

TEST_F(ModemTool, FilesPipesCodesAndErrors) {
    test::WriteFile(dir / "text.txt", kText);
    ASSERT_EQ(dir.Sh(tool + " send --baud 75 --shift 850 --rate 48000 -o a.flac text.txt"), 0);
    EXPECT_EQ(dir.Sh(tool + " receive --baud 75 --shift 850 a.flac >got.txt"), 0);
    EXPECT_EQ(Read("got.txt"), kText);
    EXPECT_EQ(dir.Sh(tool + " send - <text.txt | " + tool + " receive --codes >codes.ita"), 0);
    const std::vector<std::uint8_t> codes = test::Codes(kText);
    EXPECT_EQ(Read("codes.ita"), std::string(codes.begin(), codes.end()));
    EXPECT_EQ(dir.Sh(tool + " send --codes -o whole.wav codes.ita && " + tool +
                     " receive - <whole.wav >b.txt"),
              0);
    EXPECT_EQ(Read("b.txt"), kText);
    const std::string whole = Read("whole.wav");
    test::WriteFile(dir / "cut.wav", whole.substr(0, whole.size() / 2));
    struct Row {
        std::string args;
        int status;
        std::string message;  // in standard error
    };
    for (const Row& r : std::vector<Row>{
             {"receive none.wav", 1, "none.wav: no such file"},
             {"receive text.txt", 1, "text.txt: not an audio file"},
             {"send -o out.wav none.txt", 1, "none.txt: No such file"},
             {"send -o out.mp3 text.txt", 64, "must end in .wav or .flac"},
             {"send --baud fast -o out.wav text.txt", 64, "--baud needs a number"},
             {"send --stop-bits 3 -o out.wav text.txt", 64, "stop bits are 1, 1.5 or 2"},
             {"receive --mark 3900 whole.wav", 64, "too high for the sample rate"},
             {"receive --bogus whole.wav", 64, "unknown option --bogus"},
             {"send -o out.wav", 64, "no FILE given"},
             {"transmit text.txt", 64, "send or receive"},
             {"receive whole.wav cut.wav", 64, "one IN"},
             {"receive cut.wav", 1, "cut.wav: cut short"},  // last: its output is read below
         }) {
        EXPECT_EQ(dir.Sh(tool + " " + r.args + " >out.txt 2>err.txt"), r.status) << r.args;
        EXPECT_NE(Read("err.txt").find(r.message), std::string::npos)
            << r.args << ": " << Read("err.txt");
    }
    EXPECT_EQ(kText.rfind(Read("out.txt").substr(0, 20), 0), 0u);
    EXPECT_EQ(dir.Sh(tool + " --help | grep -q 'Exit status'"), 0);
    EXPECT_EQ(dir.Sh(tool + " --version | grep -q '^tavirel-modem [0-9]'"), 0);
}

}  // namespace
}  // namespace tavirel
