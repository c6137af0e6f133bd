// The four converters through tavirel-convert on a 64 MiB file, beside
// `tr 'a-z' 'A-Z'` on the same file in the same run: MiB/s of input and each
// process's peak resident memory, at 8 MiB and at 64 MiB so that the memory
// can be seen not to grow with the file. Best of five runs each.
//
//   tavirel_convert_bench [MiB]
//
// This program stays small (it writes its files block by block) because a
// child's peak memory starts from its parent's: the "true" row is that floor.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Figures {
    double seconds;
    long peakKiB;
};

// Runs args with standard input from in and standard output to out.
Figures Run(const std::vector<std::string>& args, const fs::path& in, const fs::path& out) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int input = open(in.c_str(), O_RDONLY);
        const int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (input < 0 || output < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0)
            _exit(127);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {took.count(), usage.ru_maxrss};
}

Figures Best(const std::vector<std::string>& args, const fs::path& in, const fs::path& out) {
    Figures best{1e9, 0};
    for (int i = 0; i < 5; ++i) {
        const Figures f = Run(args, in, out);
        best.seconds = std::min(best.seconds, f.seconds);
        best.peakKiB = std::max(best.peakKiB, f.peakKiB);
    }
    return best;
}

// Teleprinter-art-like text in CR LF lines: runs of letters, figures, blanks,
// punctuation and lower case, so that the shift changes often.
void WriteArt(const fs::path& path, std::size_t size) {
    static const char* const words[] = {"RYRY",  "THE",  "quick",  "BROWN", "fox", "1234",
                                        "(OK)?", "73",   "DE",     "#$%",   "...", "XXXXXXXX",
                                        "    ",  "////", "--==--", "@@",    "8888"};
    std::FILE* f = std::fopen(path.c_str(), "wb");
    unsigned seed = 1;
    std::string line;
    std::size_t written = 0;
    while (written < size) {
        line.clear();
        while (line.size() < 60) {
            seed = seed * 1103515245u + 12345u;
            line += words[(seed >> 16) % std::size(words)];
            line += ' ';
        }
        line += "\r\n";
        const std::size_t n = std::min(line.size(), size - written);
        std::fwrite(line.data(), 1, n, f);
        written += n;
    }
    std::fclose(f);
}

// A raw tape image of codes: a blank leader, then each code with noise in
// the three bits the reader adds.
void WriteTape(const fs::path& codes, const fs::path& tape) {
    std::FILE* in = std::fopen(codes.c_str(), "rb");
    std::FILE* out = std::fopen(tape.c_str(), "wb");
    std::vector<unsigned char> block(64 * 1024, 0);
    std::fwrite(block.data(), 1, 64, out);
    std::size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), in)) > 0) {
        for (std::size_t i = 0; i < n; ++i)
            block[i] = static_cast<unsigned char>(block[i] | ((block[i] * 37) & 0xE0));
        std::fwrite(block.data(), 1, n, out);
    }
    std::fclose(in);
    std::fclose(out);
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const std::string tool = TAVIREL_CONVERT_BIN;
    std::string pattern = (fs::temp_directory_path() / "tavirel-convert-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return 1;
    const fs::path dir = pattern;
    const fs::path text = dir / "art.txt", codes = dir / "art.ita", tape = dir / "tape.raw",
                   out = dir / "out";

    std::printf("%-8s %-30s %10s %8s %14s\n", "input", "conversion", "MiB/s", "of tr",
                "peak RSS KiB");
    for (const std::size_t size : {mib / 8, mib}) {
        WriteArt(text, size << 20);
        Run({tool, "ita", "-"}, text, codes);
        WriteTape(codes, tape);
        struct Case {
            const char* name;
            std::vector<std::string> args;
            fs::path input;
        };
        const Case cases[] = {
            {"true (the floor)", {"true"}, text},
            {"tr 'a-z' 'A-Z'", {"tr", "a-z", "A-Z"}, text},
            {"ita (ASCII to ITA2)", {tool, "ita", "-"}, text},
            {"subset (ASCII to subset)", {tool, "subset", "-"}, text},
            {"ascii (ITA2 to ASCII)", {tool, "ascii", "-"}, codes},
            {"clean (tape cleaner)", {tool, "clean", "-"}, tape},
        };
        double trRate = 0;
        for (const Case& c : cases) {
            const Figures f = Best(c.args, c.input, out);
            const double rate =
                static_cast<double>(fs::file_size(c.input)) / (1024.0 * 1024.0) / f.seconds;
            if (c.args[0] == "tr")
                trRate = rate;
            if (c.args[0] == "true")
                std::printf("%4zu MiB %-30s %10s %8s %14ld\n", size, c.name, "", "", f.peakKiB);
            else
                std::printf("%4zu MiB %-30s %10.0f %7.0f%% %14ld\n", size, c.name, rate,
                            100.0 * rate / trRate, f.peakKiB);
        }
    }
    fs::remove_all(dir);
    return 0;
}
