#include "selftest.h"

#include "ita2.h"
#include "paper.h"
#include "printer.h"

#include <QColor>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace tpsim {

namespace {

int failures = 0;
int checks = 0;

void check(bool ok, const char* what) {
    ++checks;
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "FAIL: %s\n", what);
    }
}

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list) {
        out.append(static_cast<char>(b));
    }
    return out;
}

QString printed(const QByteArray& in, bool unshiftOnSpace = true, int columns = 72) {
    PrinterSettings s;
    s.unshiftOnSpace = unshiftOnSpace;
    s.columns = columns;
    Printer p(s);
    p.receive(in, 0);
    return p.paper().text(QLatin1Char('|'));
}

void tables() {
    const std::string letters = "EASIUDRJNFCKTZLWHYPQOBGMXV";
    const std::vector<int> letterCodes = {1,  3,  5,  6,  7,  9,  10, 11, 12, 13, 14, 15, 16,
                                          17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 28, 29, 30};
    bool ok = true;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        ok = ok && lettersChar(static_cast<std::uint8_t>(letterCodes[i])) == letters[i];
    }
    check(ok, "letters table");

    const std::string figures = "3-\a87$4',!:(5\")2#6019?&./;";
    ok = true;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        ok = ok && figuresChar(static_cast<std::uint8_t>(letterCodes[i])) == figures[i];
    }
    check(ok, "figures table");

    for (int code : {0, 27, 31}) {
        const auto c = static_cast<std::uint8_t>(code);
        check(!lettersChar(c) && !figuresChar(c), "blank and shifts print nothing");
    }
    check(lettersChar(4) == ' ' && figuresChar(4) == ' ', "space in both shifts");
    check(lettersChar(8) == '\r' && figuresChar(8) == '\r', "CR in both shifts");
    check(lettersChar(2) == '\n' && figuresChar(2) == '\n', "LF in both shifts");
}

void decoding() {
    // RYRY, FIGS 1 2 3, LTRS A
    check(printed(bytes({10, 21, 10, 21, 27, 23, 19, 1, 31, 3})) == "RYRY123A", "shifts");
    check(printed(bytes({0x20 | 10, 0xe0 | 21})) == "RY", "bytes masked to five bits");
    check(printed(bytes({27, 23, 4, 23})) == "1 Q", "space unshifts");
    check(printed(bytes({27, 23, 4, 23}), false) == "1 1", "no unshift on space");
    check(printed(bytes({27, 23, 8, 23})) == "1", "CR keeps figures (overstrikes 1)");
    check(printed(bytes({0, 0, 10})) == "R", "blank prints nothing");
}

void paperModel() {
    Paper p(72);
    for (char c : std::string("ABC\rXY\nZ")) {
        p.put(c, 0);
    }
    check(p.text(QLatin1Char('|')) == "XYC|  Z", "CR overstrikes, LF keeps the column");
    check(p.cell(0, 0).size() == 2 && p.cell(0, 0)[0].ch == 'A' && p.cell(0, 0)[1].ch == 'X',
          "every strike kept in order");
    check(p.cell(0, 2).size() == 1, "untouched strikes stay single");

    Paper wide(72);
    for (int i = 0; i < 80; ++i) {
        wide.put(static_cast<char>('A' + i % 26), 0);
    }
    check(wide.rowText(0).size() == 72, "nothing beyond column 72");
    check(wide.cell(0, 71).size() == 9, "characters past the margin pile up in column 72");
    check(wide.column() == 71, "carriage stops at the margin");

    Paper bell(72);
    bell.put('\a', 0);
    bell.put('\a', 0);
    bell.put('A', 0);
    check(bell.bells() == 2 && bell.rowText(0) == "A", "bells ring without moving");

    Paper spaced(72);
    for (char c : std::string("AB\r B")) {
        spaced.put(c, 0);
    }
    check(spaced.rowText(0) == "AB" && spaced.cell(0, 0).size() == 1, "space strikes nothing");

    Paper lines(72);
    for (char c : std::string("A\r\n\r\n\r\n")) {
        lines.put(c, 0);
    }
    check(lines.text(QLatin1Char('|')) == "A", "trailing empty rows dropped");
}

void encoding() {
    Encoder e(true);
    auto out = e.encode("RY 12 3A");
    const std::vector<std::uint8_t> want = {31, 10, 21, 4, 27, 23, 19, 4, 27, 1, 31, 3};
    check(out && *out == want, "encoder shifts, re-sends FIGS after a space");
    out = e.encode("B");
    check(out && *out == std::vector<std::uint8_t>{25}, "encoder remembers letters");

    Encoder plain(false);
    out = plain.encode("1 2");
    check(out && *out == std::vector<std::uint8_t>{27, 23, 4, 19},
          "no FIGS after space without unshift-on-space");
    check(!plain.encode("A*B"), "unencodable text refused");
    out = plain.encode("a\r\n");
    check(out && *out == std::vector<std::uint8_t>{31, 3, 8, 2}, "lower case sent as capitals");

    // Round trip through an independent decoder.
    Encoder round(true);
    Decoder d(true);
    const std::string text = "THE QUICK BROWN FOX 1234567890 -?:()$!&#'\",./; \a";
    std::string back;
    const auto codes = round.encode(text);
    for (std::uint8_t c : codes.value_or(std::vector<std::uint8_t>{})) {
        if (auto ch = d.decode(c)) {
            back += *ch;
        }
    }
    check(back == text, "encode/decode round trip");
}

void pacing() {
    PrinterSettings s;
    s.charTimeMs = characterTimeMs(45, 5, 1.5);
    check(std::abs(s.charTimeMs - 166.6667) < 0.001, "45 baud 5N1.5 is 166.67 ms");
    Printer p(s);
    p.receive(bytes({31, 10, 21}), 1000);  // a burst
    p.receive(bytes({10}), 1100);          // arrives while still busy
    p.receive(bytes({21}), 5000);          // arrives on an idle line
    const auto& t = p.times();
    check(t.size() == 4, "shifts are not counted");
    check(t.size() == 4 && std::abs(t[0] - (1000 + s.charTimeMs)) < 1e-6 &&
              std::abs(t[1] - (1000 + 2 * s.charTimeMs)) < 1e-6 &&
              std::abs(t[2] - (1000 + 3 * s.charTimeMs)) < 1e-6 && t[3] == 5000,
          "one character time per character");
    check(p.raw() == bytes({31, 10, 21, 10, 21}), "raw keeps everything");
}

int inkInCell(const QImage& image, int x0, int x1) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = x0; x < x1 && x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                ++ink;
            }
        }
    }
    return ink;
}

void rendering() {
    Paper one(72);
    one.put('O', 0);
    Paper two(72);
    two.put('O', 0);
    two.put('\r', 0);
    two.put('/', 0);
    const QImage a = one.render();
    const QImage b = two.render();
    check(a.size() == b.size(), "overstrike does not change the paper size");
    const int half = a.width() / 2;
    check(inkInCell(b, 0, half) > inkInCell(a, 0, half), "overstrike adds ink in the same place");
    check(inkInCell(b, half, b.width()) == 0, "overstrike stays in its cell");
}

}  // namespace

int runSelfTest() {
    tables();
    decoding();
    paperModel();
    encoding();
    pacing();
    rendering();
    std::printf("self-test: %d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace tpsim
