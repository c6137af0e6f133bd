// tavirel-convert: the Utilities dialog's four converters on the command line.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/converter.h"

namespace {

using tavirel::Converter;
using tavirel::ConverterFile;
using tavirel::ConverterHost;

constexpr int kUsageError = 64;

constexpr const char* kHelp =
    "Usage: tavirel-convert CONVERSION [-o OUT] FILE...\n"
    "\n"
    "Converts teleprinter files between ASCII text, ITA2 codes and raw paper-tape\n"
    "images, as the Utilities dialog of Tavirel does. Each output is written beside\n"
    "its input under the input's name with the conversion's own ending, and its\n"
    "path is printed once it is complete: art/cat.txt becomes art/cat.ita. An input\n"
    "is never overwritten: a conversion whose output would be its own input is\n"
    "refused.\n"
    "\n"
    "CONVERSION is one of:\n"
    "  ita     ASCII text to ITA2 codes for a teleprinter (.ita): one 5-bit code a\n"
    "          byte, with the letters and figures shifts the machine needs. Lower\n"
    "          case becomes capitals; characters that have no code are left out.\n"
    "  subset  ASCII art to ASCII art that a teleprinter can print (.asc): every\n"
    "          character without an ITA2 code is replaced by the one that looks most\n"
    "          like it on paper (a~b becomes A-B). Same length as the input.\n"
    "  ascii   ITA2 codes as a paper-tape reader delivers them, each code's bits\n"
    "          end to end reversed, to ASCII text (.asc).\n"
    "  clean   A raw image of 5-bit tape read on an 8-bit reader to ITA2 codes\n"
    "          (.bdo): keeps the five code bits of each byte, drops the blank leader.\n"
    "          Its output is what 'ascii' reads.\n"
    "\n"
    "Options:\n"
    "  -o OUT     write to OUT instead (a single FILE only); '-o -' writes to\n"
    "             standard output\n"
    "  -          as FILE: read standard input; the output goes to standard output\n"
    "             unless -o says otherwise\n"
    "  -h, --help show this text\n"
    "  --version  show the version\n"
    "\n"
    "The letters or figures shift, and whether the cleaner has passed the leader,\n"
    "carry from one FILE to the next, as they do from one conversion to the next\n"
    "in one run of Tavirel.\n"
    "\n"
    "Paths are limited to 254 characters for an input and 255 for an output.\n"
    "\n"
    "Exit status: 0 done; 1 an input is missing, a folder, unreadable or its path\n"
    "too long; 2 an output cannot be created; 3 a write failed; 64 wrong usage.\n"
    "With several files, the highest of their results. An output that failed partway\n"
    "is left as it is and named on standard error as incomplete, with its size; its\n"
    "path is not printed.\n";

// The path of a finished output on standard output, failures on standard
// error; the completion message says nothing a zero exit status does not.
class CommandLineHost : public ConverterHost {
  public:
    explicit CommandLineHost(bool printPaths) : printPaths_(printPaths) {}
    // Created, not yet finished.
    void ShowOutputPath(const std::string& path) override { outputPath_ = path; }
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        if (icon == Icon::Error)
            std::fprintf(stderr, "tavirel-convert: %s: %s\n", text.c_str(), caption.c_str());
        else if (printPaths_ && outputPath_)
            std::printf("%s\n", outputPath_->c_str());
    }
    bool MayWaitToOpen() const override { return true; }
    // An output the conversion created and did not finish.
    const std::optional<std::string>& OutputPath() const { return outputPath_; }

  private:
    bool printPaths_;
    std::optional<std::string> outputPath_;
};

// A failed output stays as it is, so say what is there: never pass it off as
// done.
void ReportIncomplete(const ConverterFile& out, const std::string& path) {
    struct stat info {};
    const int found = out.fd >= 0 ? ::fstat(out.fd, &info) : ::stat(path.c_str(), &info);
    if (found == 0 && S_ISREG(info.st_mode))
        std::fprintf(stderr, "tavirel-convert: %s: incomplete, %lld bytes\n", path.c_str(),
                     static_cast<long long>(info.st_size));
    else
        std::fprintf(stderr, "tavirel-convert: %s: incomplete\n", path.c_str());
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ParseConversion(std::string_view name, Converter& which) {
    if (name == "ita")
        which = Converter::AsciiToIta2;
    else if (name == "subset")
        which = Converter::AsciiToItaSubset;
    else if (name == "ascii")
        which = Converter::Ita2ToAscii;
    else if (name == "clean")
        which = Converter::CleanTape;
    else
        return false;
    return true;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "tavirel-convert: %s\nTry 'tavirel-convert --help'.\n", problem);
    return kUsageError;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A reader that leaves early makes a failed write, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> files;
    const char* output = nullptr;
    const char* conversion = nullptr;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!onlyFiles && (arg == "-h" || arg == "--help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (!onlyFiles && arg == "--version") {
            std::printf("tavirel-convert %s\n", TAVIREL_VERSION);
            return 0;
        }
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && arg == "-o") {
            if (++i == argc)
                return Usage("-o needs a file name");
            output = argv[i];
        } else if (!onlyFiles && arg.size() > 1 && arg.front() == '-') {
            return Usage("unknown option");
        } else if (conversion == nullptr) {
            conversion = argv[i];
        } else {
            files.emplace_back(arg);
        }
    }
    Converter which{};
    if (conversion == nullptr || !ParseConversion(conversion, which))
        return Usage("the conversion is one of ita, subset, ascii, clean");
    if (files.empty())
        return Usage("no FILE given");
    if (output != nullptr && files.size() > 1)
        return Usage("-o takes a single FILE");

    if (std::find(files.begin(), files.end(), std::string()) != files.end())
        return Usage("an empty FILE name");

    tavirel::ConverterState state;
    int worst = 0;
    for (const std::string& file : files) {
        ConverterFile in{file};
        if (file == "-")
            in = {"standard input", STDIN_FILENO};
        ConverterFile out;
        if (output != nullptr)
            out = std::string_view(output) == "-" ? ConverterFile{"standard output", STDOUT_FILENO}
                                                  : ConverterFile{output};
        else if (file == "-")
            out = {"standard output", STDOUT_FILENO};
        else
            out = {tavirel::MakeOutputName(file, tavirel::InfoFor(which).extension)};
        if (in.fd < 0 && IsFolder(file)) {
            std::fprintf(stderr, "tavirel-convert: %s: is a folder, not a file\n", file.c_str());
            worst = std::max(worst, 1);
            continue;
        }
        // Paths on standard output would mix with the data written there.
        CommandLineHost host(out.fd != STDOUT_FILENO);
        const int result = tavirel::RunConverter(which, in, out, state, host);
        if (result != 0 && host.OutputPath())
            ReportIncomplete(out, *host.OutputPath());
        worst = std::max(worst, result);
        std::fflush(stdout);
    }
    return worst;
}
