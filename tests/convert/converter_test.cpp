#include "convert/converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/step_reference.h"

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

// Within a run the states carry.
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
        // Shift codes sent as characters do not count as shifts.
        {{C::AsciiToIta2, {'a', 'b', 27, 'c', 31, '1'}, {31, 3, 25, 27, 31, 14, 31, 27, 23}},
         {C::AsciiToIta2, {'`', '{', 127, 128, 0xC1, 255, 0, 'A'}, {0, 31, 3}}},
        {{C::AsciiToItaSubset, Text("a~b\r\n\t!$%'*+<=>@[\\]^_`{|}"),
          Text("A-B\r\n\t1S8,YX(-)W(/)--,(/)")},
         {C::AsciiToItaSubset, Text(" \"#&(),-./09:;?AZ"), Text(" \"#&(),-./09:;?AZ")},
         {C::AsciiToItaSubset, {127, 128, 0xB0, 255, 0}, {'-', ' ', ' ', ' ', 0}}},
        {{C::CleanTape, {0, 0, 229, 32, 65}, {5, 0, 1}},
         {C::CleanTape, {0, 0, 229, 32, 65}, {0, 0, 5, 0, 1}}},
        {{C::CleanTape, {0, 32, 64, 128, 224}, {}}},
        {{C::Ita2ToAscii, {31, 20, 1, 18, 18, 24}, Text("STDDA")},
         {C::Ita2ToAscii, {27, 1, 4, 1}, Text("5 T")},
         {C::Ita2ToAscii, {31, 1, 4, 27, 1}, Text("T 5")},
         {C::Ita2ToAscii, {1, 2, 1, 8, 1, 0, 27, 0}, {'5', '\n', '5', '\r', 'T', 0, 0}},
         {C::Ita2ToAscii, {27, 31, 27, 27, 31}, {}},
         {C::Ita2ToAscii, {27, 33, 255, 1, 128}, Text("5")}},
    };
    for (const auto& run : runs) {
        ConverterState s;
        for (const Case& c : run)
            EXPECT_EQ(Step(c.which, s, c.in), c.out) << testing::PrintToString(c.in);
    }
}

TEST(ConverterSteps, BlocksCutAnywhereGiveTheSameBytes) {
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
        const Bytes expected = test::ByteByByte(which, whole, text);
        Bytes got;
        for (std::size_t at = 0, n = 0; at < text.size(); at += n) {
            n = std::min<std::size_t>(1 + at % 7919, text.size() - at);
            const Bytes piece = Step(which, parts, Bytes(text.begin() + at, text.begin() + at + n));
            got.insert(got.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(got, expected) << static_cast<int>(which);
    }
}

TEST(OutputName, CutsTheFileNameOnlyAfterItsLeadingDots) {
    const std::pair<std::string, std::string> cases[] = {
        {"cat", "cat.ita"},
        {"cat.tar.txt", "cat.ita"},
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

struct RecordingHost : ConverterHost {
    void ShowOutputPath(const std::string& path) override { outputPath = path; }
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        shown += caption + ": " + text + (icon == Icon::Error ? " (error)|" : "|");
    }
    std::string outputPath = "(earlier)";
    std::string shown;
};

struct ConverterFrame : testing::Test {
    std::string Put(const std::string& name, const Bytes& bytes) {
        return test::WriteFile(dir / name, std::string(bytes.begin(), bytes.end()));
    }
    static Bytes Read(const std::string& path) { return Text(test::ReadFile(path)); }
    int Run(Converter which, const std::string& input) {
        host.shown.clear();
        return RunConverter(which, input, state, host);
    }

    test::TempDir dir;
    ConverterState state;
    RecordingHost host;
};

TEST_F(ConverterFrame, ConvertsBesideTheInputAndReports) {
    const std::string in = Put("cat.tar.txt", Text("AB"));
    EXPECT_EQ(Run(Converter::AsciiToIta2, in), 0);
    EXPECT_EQ(Run(Converter::AsciiToIta2, in), 0);
    EXPECT_EQ(Read(dir / "cat.ita"), Bytes({3, 25}));  // replaced; the shift carried
    EXPECT_EQ(host.outputPath, dir / "cat.ita");
    EXPECT_EQ(host.shown, "ASCII to BAUDOT: Task complete|");
    EXPECT_EQ(Read(in), Text("AB"));
    const std::pair<Converter, std::string> captions[] = {
        {Converter::AsciiToItaSubset, "ASCII to ITA2"},
        {Converter::Ita2ToAscii, "Binary to ASCII"},
        {Converter::CleanTape, "Clean"},
    };
    for (const auto& [which, caption] : captions) {
        EXPECT_EQ(Run(which, Put("empty", {})), 0);
        EXPECT_EQ(host.shown, caption + ": Task complete|");
        EXPECT_EQ(host.outputPath, dir / "empty" + InfoFor(which).extension);
        EXPECT_TRUE(Read(host.outputPath).empty());
    }
}

// A pipe without a writer reads as empty; one without a reader cannot be created.
TEST_F(ConverterFrame, RefusesWithTheirMessagesAndNeverWaitsOnAPipe) {
    const Bytes art = Text("CAT\r\n");
    const std::string ita = Put("art.ita", art);
    fs::create_hard_link(ita, dir / "alias.ita");
    fs::create_symlink(ita, dir / "art.txt");
    fs::create_directory(dir / "folder.d");
    fs::create_directory(dir / "locked");
    Put("locked/in.txt", art);
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string d = dir.path.string() + "/";
    const std::string name(250 - d.size() + 1, 'n');
    Put(name, art);  // 251 + ".ita": 255
    Put(name + "x", art);
    const std::string pipeIn = d + "pipe.txt", pipeOut = d + "in.ita";
    ASSERT_EQ(::mkfifo(pipeIn.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(pipeOut.c_str(), 0600), 0);
    Put("in.txt", Text("AB"));
    Put("full.txt", art);
    fs::create_symlink("/dev/full", dir / "full.ita");

    const struct {
        std::string input;
        int result;
        std::string shown;
    } cases[] = {
        {"", 1, ""},
        {"   ", 1, "File doesn't exist!:     (error)|"},
        {d + "none.txt", 1, "File doesn't exist!: " + d + "none.txt (error)|"},
        {d + "folder.d", 1, "File doesn't exist!: " + d + "folder.d (error)|"},
        {d + name + "xyzw", 1, "Path too long!: " + d + name + "xyzw (error)|"},
        {d + name + "x", 2, "Path too long!: " + d + name + "x.ita (error)|"},
        {ita, 2, "Output would replace the input!: " + ita + " (error)|"},
        {d + "alias.ita", 2, "Output would replace the input!: " + d + "alias.ita (error)|"},
        {d + "art.txt", 2, "Output would replace the input!: " + ita + " (error)|"},
        {d + "locked/in.txt", 2, "Can't create file!: " + d + "locked/in.ita (error)|"},
        {d + "in.txt", 2, "Can't create file!: " + pipeOut + " (error)|"},
        {d + "full.txt", 3,
         "ERROR: Write to file failed! (disk full?): " + d + "full.ita (error)|"},
        {pipeIn, 0, "ASCII to BAUDOT: Task complete|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        if (c.input.starts_with(d + "locked") && geteuid() == 0)
            continue;
        host.outputPath = "(earlier)";
        int result = -1;
        EXPECT_TRUE(test::ReturnsAtOnce(c.input == pipeIn ? pipeIn : pipeOut,
                                        [&] { result = Run(Converter::AsciiToIta2, c.input); }));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(host.shown, c.shown);
        EXPECT_EQ(host.outputPath == "(earlier)", c.result == 1 || c.result == 2);
    }
    EXPECT_EQ(Read(ita), art);
    EXPECT_TRUE(Read(d + "pipe.ita").empty());
    EXPECT_EQ(Run(Converter::AsciiToIta2, d + name), 0);
    EXPECT_EQ(Read(d + name + ".ita"), Bytes({31, 14, 3, 16, 8, 2}));
    // A descriptor open for writing only fails on its first read.
    const int writeOnly = ::open(ita.c_str(), O_WRONLY);
    ASSERT_GE(writeOnly, 0);
    host.shown.clear();
    EXPECT_EQ(
        RunConverter(Converter::CleanTape, {"the input", writeOnly}, {d + "out.bdo"}, state, host),
        1);
    ::close(writeOnly);
    EXPECT_EQ(host.shown, "ERROR: Read from file failed!: the input (error)|");
    EXPECT_EQ(Run(Converter::AsciiToIta2, Put(name.substr(0, name.size() - 1) + ".txt", art)), 0);
}

TEST_F(ConverterFrame, CommandLineToolConvertsAndNamesWhatItDidNotDo) {
    fs::create_directory(dir / "art");
    Put("a.txt", Text("AB"));
    Put("b.txt", Text("AB"));
    Put("big.txt", Bytes(3000, 'R'));
    Put("small.txt", Text("RY"));
    Put("long.txt", Bytes(256 * 1024, 'R'));
    fs::create_symlink("/dev/full", dir / "small.asc");
    const std::string tool = TAVIREL_CONVERT_BIN, me = "tavirel-convert: ";
    const std::string failed = ": ERROR: Write to file failed! (disk full?)\n";
    const struct {
        std::string command;
        int status;
        std::string out, err;
    } rows[] = {
        {tool + " ita a.txt b.txt && cat b.ita", 0, "a.ita\nb.ita\n\3\31", ""},
        {"printf 'a~b\\r\\n\\033\\001' | " + tool + " subset - | " + tool +
             " ita - -o p.ita >/dev/null && cat p.ita",
         0, "\37\3\33\3\37\31\10\2\33", ""},
        {tool + " ita a.ita none.txt", 2, "",
         me + "a.ita: Output would replace the input!\n" + me + "none.txt: File doesn't exist!\n"},
        {tool + " ita -o x a.txt b.txt", 64, "",
         me + "-o takes a single FILE\nTry 'tavirel-convert --help'.\n"},
        {tool + " --help | grep -c 'Exit status'", 0, "1\n", ""},
        {"(" + tool + " ita long.txt -o - 2>e; echo $? >s) | true; cat s; grep -c 'write to' -i e",
         0, "3\n1\n", ""},
        {tool + " --version", 0, "tavirel-convert " TAVIREL_VERSION "\n", ""},
        {tool + " ita art", 1, "", me + "art: is a folder, not a file\n"},
        // ulimit: a file system that takes the first block only.
        {"trap '' XFSZ; ulimit -f 1; exec " + tool + " subset big.txt", 3, "",
         me + "big.asc" + failed + me + "big.asc: incomplete, SIZE bytes\n"},
        {tool + " subset small.txt", 3, "",
         me + "small.asc" + failed + me + "small.asc: incomplete\n"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(dir.Sh("(" + r.command + ") >out 2>err"), r.status) << r.command;
        EXPECT_EQ(test::ReadFile(dir / "out"), r.out) << r.command;
        std::string err = r.err;
        if (const std::size_t at = err.find("SIZE"); at != std::string::npos)
            err.replace(at, 4, std::to_string(fs::file_size(dir / "big.asc")));
        EXPECT_EQ(test::ReadFile(dir / "err"), err) << r.command;
    }
    EXPECT_GT(fs::file_size(dir / "big.asc"), 0u);
    EXPECT_LT(fs::file_size(dir / "big.asc"), 3000u);
}

}  // namespace
}  // namespace tavirel
