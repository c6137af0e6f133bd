#include "convert/converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace tavirel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Step(Converter which, ConverterState& s, const Bytes& in) {
    Bytes out(MaxOutputSize(in.size()));
    out.resize(ConvertBlock(which, s, in, out.data()));
    return out;
}

Bytes Text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// Every worked example, in order within one run of the process where the
// states carry.
TEST(ConverterSteps, GiveTheWorkedExamples) {
    struct Case {
        Converter which;
        Bytes in, out;
    };
    using C = Converter;
    const std::vector<std::vector<Case>> runs = {
        {{C::AsciiToIta2, Text("HELLO 123\r\n"), {31, 20, 1, 18, 18, 24, 4, 27, 23, 19, 1, 8, 2}}},
        {{C::AsciiToIta2, Text("AB"), {31, 3, 25}}, {C::AsciiToIta2, Text("AB"), {3, 25}}},
        {{C::AsciiToIta2, Text("AB CD"), {31, 3, 25, 4, 31, 14, 9}}},
        {{C::AsciiToIta2, Text("50%"), {27, 16, 22}}},
        // Lower case as capitals; the shift codes sent as characters do not
        // count as shifts; NUL is a code; no entry: ` { DEL 128 255 dropped.
        {{C::AsciiToIta2,
          Text("ab\x1b"
               "c\x1f"
               "1"),
          {31, 3, 25, 27, 31, 14, 31, 27, 23}},
         {C::AsciiToIta2, {'`', '{', 127, 128, 0xC1, 255, 0, 'A'}, {0, 31, 3}}},
        {{C::AsciiToItaSubset, Text("a~b\r\n\t!$%'*+<=>@[\\]^_`{|}"),
          Text("A-B\r\n\t1S8,YX(-)W(/)--,(/)")},
         // Kept as they are; the upper half becomes blanks, length kept.
         {C::AsciiToItaSubset, Text(" \"#&(),-./09:;?AZ"), Text(" \"#&(),-./09:;?AZ")},
         {C::AsciiToItaSubset, {127, 128, 0xB0, 255, 0}, {'-', ' ', ' ', ' ', 0}}},
        {{C::CleanTape, {0, 0, 229, 32, 65}, {5, 0, 1}},
         {C::CleanTape, {0, 0, 229, 32, 65}, {0, 0, 5, 0, 1}}},
        {{C::CleanTape, {0, 32, 64, 128, 224}, {}}},
        {{C::Ita2ToAscii, {31, 20, 1, 18, 18, 24}, Text("STDDA")},
         {C::Ita2ToAscii, {27, 1, 4, 1}, Text("5 T")},
         {C::Ita2ToAscii, {31, 1, 4, 27, 1}, Text("T 5")},
         // Ended in figures: the next conversion starts there. LF keeps the
         // shift, CR unshifts, 0 is NUL in both halves.
         {C::Ita2ToAscii, {1, 2, 1, 8, 1, 0, 27, 0}, {'5', '\n', '5', '\r', 'T', 0, 0}},
         {C::Ita2ToAscii, {27, 31, 27, 27, 31}, {}},
         // Not codes: nothing written, the shift stays.
         {C::Ita2ToAscii, {27, 33, 255, 1, 128}, Text("5")}},
    };
    for (const auto& run : runs) {
        ConverterState s;
        for (const Case& c : run)
            EXPECT_EQ(Step(c.which, s, c.in), c.out) << testing::PrintToString(c.in);
    }
}

// The charts, code by code: US-TTY read with every code's bits reversed,
// LF and CR in their own places.
TEST(ConverterSteps, DecodeTheWholeReversedChart) {
    constexpr char kLetters[33] = "\0T\nO HNM\rLRGIPCVEZDBSYFXAWJ\x7FUQK\x7F";
    constexpr char kFigures[33] =
        "\0"
        "5\n9 #,.\r)4&80:;3\"$?\a6!/-2'\x7F"
        "71(\x7F";
    for (std::size_t c = 0; c < 32; ++c) {
        EXPECT_EQ(ReversedIta2Table[c], static_cast<std::uint8_t>(kLetters[c])) << c;
        EXPECT_EQ(ReversedIta2Table[32 + c], static_cast<std::uint8_t>(kFigures[c])) << c;
    }
}

// The steps one byte at a time, as the block loops must give them.
Bytes ByteByByte(Converter which, ConverterState& s, const Bytes& in) {
    Bytes out(MaxOutputSize(in.size()));
    OutputBlock block{out.data()};
    for (const std::uint8_t v : in) {
        switch (which) {
            case Converter::AsciiToIta2:
                WriteIta2ForChar(s, v, block);
                break;
            case Converter::AsciiToItaSubset:
                WriteSubsetForChar(v, block);
                break;
            case Converter::Ita2ToAscii:
                WriteAsciiForCode(s, v, block);
                break;
            case Converter::CleanTape:
                WriteCleanedByte(s, v, block);
                break;
        }
    }
    out.resize(static_cast<std::size_t>(block.end - out.data()));
    return out;
}

// Blocks cut anywhere, even in the middle of a shifted run, give the bytes of
// the steps taken one at a time: the shift carries across the frame's blocks
// as across conversions.
TEST(ConverterSteps, BlocksCutAnywhereGiveTheSameBytes) {
    // Text, every byte value, and runs of codes with shifts among them.
    Bytes text;
    for (unsigned i = 0; text.size() < 3 * kConverterBlock; ++i) {
        for (const char ch : "RYRY 1234, (OK)? the quick fox\r\n")
            text.push_back(static_cast<std::uint8_t>(ch));
        for (const unsigned v : {i, i % 32, i * 7 % 32, i % 3 ? 27u : 31u, i * 13 % 32})
            text.push_back(static_cast<std::uint8_t>(v));
    }
    for (const Converter which : {Converter::AsciiToIta2, Converter::AsciiToItaSubset,
                                  Converter::Ita2ToAscii, Converter::CleanTape}) {
        ConverterState whole, parts;
        const Bytes expected = ByteByByte(which, whole, text);
        Bytes got;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min<std::size_t>(1 + at % 7919, text.size() - at);
            const Bytes piece = Step(which, parts, Bytes(text.begin() + at, text.begin() + at + n));
            got.insert(got.end(), piece.begin(), piece.end());
            at += n;
        }
        EXPECT_EQ(got, expected) << static_cast<int>(which);
        EXPECT_EQ(parts.fileEncodeShift, whole.fileEncodeShift);
        EXPECT_EQ(parts.fileDecodeShift, whole.fileDecodeShift);
    }
}

TEST(OutputName, CutsTheFileNameOnlyAfterItsLeadingDots) {
    const std::pair<std::string, std::string> cases[] = {
        {"cat", "cat.ita"},
        {"cat.tar.txt", "cat.ita"},
        {"/home/me/art/cat.txt", "/home/me/art/cat.ita"},
        {"./art/cat.txt", "./art/cat.ita"},
        {"../cat.txt", "../cat.ita"},
        {"/home/me/my.art/cat.txt", "/home/me/my.art/cat.ita"},
        {"/home/me/my.art/cat", "/home/me/my.art/cat.ita"},
        {".profile", ".profile.ita"},
        {"../.plan.txt", "../.plan.ita"},
        {"..", "...ita"},
        {"art/", "art/.ita"},
        {"C:\\art\\cat.txt", "C:\\art\\cat.ita"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(MakeOutputName(in, ".ita"), out) << in;
}

struct Shown {
    std::string text, caption;
    ConverterHost::Icon icon;
    bool operator==(const Shown&) const = default;
    friend std::ostream& operator<<(std::ostream& o, const Shown& s) {
        return o << s.caption << ": " << s.text;
    }
};

class RecordingHost : public ConverterHost {
  public:
    void ShowOutputPath(const std::string& path) override { outputPath = path; }
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        shown.push_back({text, caption, icon});
    }
    std::string outputPath = "(earlier)";
    std::vector<Shown> shown;
};

class ConverterFrame : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavirel-convert-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Put(const std::string& name, const Bytes& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    int Run(Converter which, const std::string& input) {
        return RunConverter(which, input, state, host);
    }

    fs::path dir;
    ConverterState state;
    RecordingHost host;
    using Icon = ConverterHost::Icon;
};

TEST_F(ConverterFrame, ConvertsBesideTheInputAndReports) {
    const std::string in = Put("cat.tar.txt", Text("AB"));
    const std::string out = (dir / "cat.ita").string();
    EXPECT_EQ(Run(Converter::AsciiToIta2, in), 0);
    EXPECT_EQ(Run(Converter::AsciiToIta2, in), 0);
    EXPECT_EQ(Read(out), Bytes({3, 25}));  // replaced, and the shift carried
    EXPECT_EQ(host.outputPath, out);
    EXPECT_EQ(host.shown,
              std::vector<Shown>(2, {"Task complete", "ASCII to BAUDOT", Icon::Information}));
    EXPECT_EQ(Read(in), Text("AB"));

    const std::pair<Converter, std::string> captions[] = {
        {Converter::AsciiToItaSubset, "ASCII to ITA2"},
        {Converter::Ita2ToAscii, "Binary to ASCII"},
        {Converter::CleanTape, "Clean"},
    };
    for (const auto& [which, caption] : captions) {
        host.shown.clear();
        EXPECT_EQ(Run(which, Put("empty", {})), 0);
        EXPECT_EQ(host.shown, std::vector<Shown>({{"Task complete", caption, Icon::Information}}));
        EXPECT_EQ(host.outputPath, (dir / "empty").string() + InfoFor(which).extension);
        EXPECT_TRUE(Read(host.outputPath).empty());
    }
}

// Every way a conversion is refused or stops: the message, the result, the
// output field kept, and the input unharmed.
TEST_F(ConverterFrame, RefusesAndStopsWithTheirMessages) {
    const Bytes art = Text("CAT\r\n");
    const std::string ita = Put("art.ita", art);
    const std::string alias = (dir / "alias.ita").string();
    fs::create_hard_link(ita, alias);
    const std::string linked = (dir / "art.txt").string();  // art.txt -> art.ita
    fs::create_symlink(ita, linked);
    fs::create_directory(dir / "folder.d");
    fs::create_directory(dir / "locked");
    const std::string lockedIn = Put("locked/in.txt", art);
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const bool root = geteuid() == 0;
    const std::string longName(250 - dir.string().size(), 'n');
    const std::string fits = Put(longName, art);                         // 251 + ".ita": 255
    const std::string tooLongOut = Put(longName + "x", art);             // 252 + ".ita"
    const std::string tooLongIn = (dir / (longName + "xyzw")).string();  // 255

    struct Case {
        Converter which;
        std::string input;
        int result;
        std::vector<Shown> shown;
    };
    using C = Converter;
    const Icon E = Icon::Error;
    std::vector<Case> cases = {
        {C::AsciiToIta2, "", 1, {}},
        {C::AsciiToIta2, "   ", 1, {{"   ", "File doesn't exist!", E}}},
        {C::AsciiToIta2,
         (dir / "none.txt").string(),
         1,
         {{(dir / "none.txt").string(), "File doesn't exist!", E}}},
        {C::AsciiToIta2,
         (dir / "folder.d").string(),
         1,
         {{(dir / "folder.d").string(), "File doesn't exist!", E}}},
        // The output would be the input: by its own name, by a hard link and
        // as a symbolic link's target.
        {C::AsciiToIta2, ita, 2, {{ita, "Output would replace the input!", E}}},
        {C::AsciiToIta2, alias, 2, {{alias, "Output would replace the input!", E}}},
        {C::AsciiToIta2, linked, 2, {{ita, "Output would replace the input!", E}}},
        {C::AsciiToIta2, tooLongIn, 1, {{tooLongIn, "Path too long!", E}}},
        {C::AsciiToIta2, tooLongOut, 2, {{tooLongOut + ".ita", "Path too long!", E}}},
        {C::AsciiToIta2, fits, 0, {{"Task complete", "ASCII to BAUDOT", Icon::Information}}},
    };
    if (!root)
        cases.push_back({C::CleanTape,
                         lockedIn,
                         2,
                         {{(dir / "locked/in.bdo").string(), "Can't create file!", E}}});
    for (const Case& c : cases) {
        host.shown.clear();
        host.outputPath = "(earlier)";
        EXPECT_EQ(Run(c.which, c.input), c.result) << c.input;
        EXPECT_EQ(host.shown, c.shown) << c.input;
        if (c.result != 0) {
            EXPECT_EQ(host.outputPath, "(earlier)") << c.input;
        }
    }
    EXPECT_EQ(Read(ita), art);
    EXPECT_EQ(Read(fits + ".ita"), Bytes({31, 14, 3, 16, 8, 2}));

    fs::permissions(dir / "locked", fs::perms::owner_all);
}

// A full disk, and an input that fails on reading: each named, the partial
// output left, and the next conversion works.
TEST_F(ConverterFrame, ReportsFailedWritesAndReads) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::string in = Put("in.txt", Text("RYRY"));
    fs::create_symlink("/dev/full", dir / "in.ita");
    EXPECT_EQ(Run(Converter::AsciiToIta2, in), 3);
    EXPECT_EQ(host.shown,
              std::vector<Shown>({{(dir / "in.ita").string(),
                                   "ERROR: Write to file failed! (disk full?)", Icon::Error}}));

    // A descriptor open for writing only fails on its first read.
    const int writeOnly = ::open(in.c_str(), O_WRONLY);
    ASSERT_GE(writeOnly, 0);
    host.shown.clear();
    EXPECT_EQ(RunConverter(Converter::CleanTape, {"the input", writeOnly},
                           {(dir / "out.bdo").string()}, state, host),
              1);
    ::close(writeOnly);
    EXPECT_EQ(host.shown,
              std::vector<Shown>({{"the input", "ERROR: Read from file failed!", Icon::Error}}));
    EXPECT_EQ(Run(Converter::AsciiToItaSubset, in), 0);
}

// The command-line tool: paths printed, states carried from file to file,
// pipes, and the highest result as exit status.
TEST_F(ConverterFrame, CommandLineToolConvertsFilesAndStreams) {
    const auto sh = [this](const std::string& command) {
        const int status = std::system(("cd '" + dir.string() + "' && " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string tool = TAVIREL_CONVERT_BIN;
    Put("a.txt", Text("AB"));
    Put("b.txt", Text("AB"));
    EXPECT_EQ(sh(tool + " ita a.txt b.txt >paths"), 0);
    EXPECT_EQ(Read((dir / "paths").string()), Text("a.ita\nb.ita\n"));
    EXPECT_EQ(Read((dir / "b.ita").string()), Bytes({3, 25}));
    EXPECT_EQ(sh("printf 'a~b\\r\\n\\033\\001' | " + tool + " subset - | " + tool +
                 " ita - -o piped.ita >/dev/null"),
              0);
    EXPECT_EQ(Read((dir / "piped.ita").string()), Bytes({31, 3, 27, 3, 31, 25, 8, 2, 27}));
    EXPECT_EQ(sh(tool + " ita a.ita none.txt 2>errors"), 2);
    EXPECT_EQ(Read((dir / "errors").string()),
              Text("tavirel-convert: a.ita: Output would replace the input!\n"
                   "tavirel-convert: none.txt: File doesn't exist!\n"));
    EXPECT_EQ(sh(tool + " --help | grep -q 'Exit status'"), 0);
    EXPECT_EQ(sh(tool + " ita -o x a.txt b.txt 2>/dev/null"), 64);
}

}  // namespace
}  // namespace tavirel
