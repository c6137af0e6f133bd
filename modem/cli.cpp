// tavirel-modem: teleprinter text to RTTY audio and back, through files or
// pipes.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "modem/audio_file.h"
#include "modem/demodulator.h"
#include "modem/modulator.h"
#include "modem/text.h"

namespace {

using namespace tavirel;

constexpr int kFileError = 1;
constexpr int kUsageError = 64;

constexpr const char* kHelp =
    "Usage: tavirel-modem send [OPTION]... [-o OUT] FILE...\n"
    "       tavirel-modem receive [OPTION]... [IN]\n"
    "\n"
    "Turns teleprinter text into radio-teletype audio (AFSK) and back.\n"
    "\n"
    "send      Each FILE ('-' for standard input) goes out as Tavirel's Send File\n"
    "          sends it: up to its first 0 byte, with the letters and figures\n"
    "          shifts added; characters without an ITA2 code are left out. A second\n"
    "          of steady mark comes first and a quarter second follows.\n"
    "receive   Decodes IN (any audio file: WAV, FLAC, ...; '-' for an audio file on\n"
    "          standard input) and writes the text to standard output as it comes,\n"
    "          CR and LF included.\n"
    "\n"
    "There is no sound card here yet. Without -o, send writes raw samples (signed\n"
    "16-bit little-endian, mono, at --rate) to standard output when that is a pipe,\n"
    "and receive without IN reads them from standard input when that is one:\n"
    "  tavirel-modem send cat.txt | aplay -q -f S16_LE -r 8000\n"
    "  arecord -q -f S16_LE -r 8000 | tavirel-modem receive\n"
    "\n"
    "Options:\n"
    "  -o OUT           send: write OUT, a .wav or .flac file; '-o -' writes raw\n"
    "                   samples to standard output\n"
    "  --codes          send: the FILEs hold ITA2 codes, one a byte (.ita files);\n"
    "                   receive: write the codes instead of text\n"
    "  --mark HZ        mark tone (2125)\n"
    "  --shift HZ       from mark up to space (170; 200, 425 and 850 are also used)\n"
    "  --reverse        mark on the upper tone\n"
    "  --baud RATE      speed (45.45; 50, 56.88, 74.2, 75 and 100 are also used)\n"
    "  --stop-bits N    1, 1.5 or 2 (1.5)\n"
    "  --rate HZ        sample rate written, and of raw samples read (8000)\n"
    "  --lead-in SEC    steady mark before the first character (1)\n"
    "  --no-afc         receive: stay on the tones given instead of following a\n"
    "                   signal up to 150 Hz off tune\n"
    "  -h, --help       show this text\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 done; 1 a file cannot be read or written (what was decoded\n"
    "before is still written); 64 wrong usage.\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "tavirel-modem: %s\nTry 'tavirel-modem --help'.\n", problem.c_str());
    return kUsageError;
}

int FileError(const std::string& name, const std::string& problem) {
    std::fprintf(stderr, "tavirel-modem: %s: %s\n", name.c_str(), problem.c_str());
    return kFileError;
}

bool ParseNumber(const char* text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

struct Options {
    ModemSettings settings;
    bool codes = false;
    const char* output = nullptr;
    std::vector<std::string> files;
};

// Standard input or output as a pipe or file rather than a terminal.
bool Redirected(int fd) {
    return isatty(fd) == 0;
}

int Send(const Options& o) {
    std::string outName = o.output != nullptr ? o.output : "-";
    if (o.output == nullptr && !Redirected(STDOUT_FILENO))
        return Usage(
            "no sound output here yet: give -o OUT.wav, or pipe the samples to "
            "'aplay -f S16_LE -r RATE'");
    AudioWriter writer;
    if (!writer.Open(outName, o.settings.sampleRate))
        return outName == "-" ? FileError("standard output", writer.Error())
                              : FileError(outName, writer.Error());
    const std::string shownOut = outName == "-" ? "standard output" : outName;
    Modulator modulator(o.settings);
    BaudotSender sender;
    std::vector<float> samples;
    modulator.Begin(samples);
    int result = 0;
    for (const std::string& name : o.files) {
        std::FILE* in = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
        if (in == nullptr) {
            result = FileError(name, std::strerror(errno));
            continue;
        }
        char block[4096];
        std::size_t n;
        bool ended = false;
        std::vector<std::uint8_t> codes;
        while (!ended && (n = std::fread(block, 1, sizeof block, in)) > 0) {
            codes.clear();
            if (o.codes) {
                for (std::size_t i = 0; i < n; ++i)
                    codes.push_back(static_cast<std::uint8_t>(block[i] & 31));
            } else {
                ended = !TextToCodes(std::string_view(block, n), sender, codes);
            }
            for (const std::uint8_t c : codes)
                modulator.Send(c, samples);
            if (!writer.Write(samples))
                return FileError(shownOut, writer.Error());
            samples.clear();
        }
        if (std::ferror(in))
            result = FileError(name, std::strerror(errno));
        if (in != stdin)
            std::fclose(in);
    }
    modulator.End(samples);
    if (!writer.Write(samples) || !writer.Close())
        return FileError(shownOut, writer.Error());
    return result;
}

int Receive(const Options& o) {
    if (o.files.size() > 1)
        return Usage("receive takes one IN");
    std::string name = o.files.empty() ? "-" : o.files.front();
    RawPcm raw;
    if (o.files.empty()) {
        if (!Redirected(STDIN_FILENO))
            return Usage(
                "no sound input here yet: give an audio file, or pipe samples from "
                "'arecord -f S16_LE -r RATE'");
        raw.rate = o.settings.sampleRate;
    }
    const std::string shown = name == "-" ? "standard input" : name;
    AudioReader reader;
    if (!reader.Open(name, raw))
        return FileError(shown, reader.Error());
    ModemSettings s = o.settings;
    s.sampleRate = reader.Rate();
    if (const std::string problem = CheckSettings(s); !problem.empty())
        return FileError(shown, problem);
    Demodulator demodulator(s);
    BaudotDecoder decoder;
    std::vector<float> samples(4096);
    std::vector<std::uint8_t> codes;
    auto write = [&]() {
        if (o.codes)
            std::fwrite(codes.data(), 1, codes.size(), stdout);
        else
            std::fputs(CodesToText(codes, decoder).c_str(), stdout);
        std::fflush(stdout);
        codes.clear();
    };
    std::size_t n;
    while ((n = reader.Read(samples.data(), samples.size())) > 0) {
        demodulator.Process(samples.data(), n, codes);
        if (!codes.empty())
            write();
    }
    demodulator.Flush(codes);
    write();
    if (!reader.Error().empty())
        return FileError(shown, reader.Error());
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A reader that went away is a failed write, reported as such.
    signal(SIGPIPE, SIG_IGN);
    if (argc < 2)
        return Usage("say send or receive");
    const std::string_view command = argv[1];
    if (command == "-h" || command == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("tavirel-modem %s\n", TAVIREL_VERSION);
        return 0;
    }
    if (command != "send" && command != "receive")
        return Usage("the first word is send or receive");
    Options o;
    bool onlyFiles = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = nullptr;
        if (!onlyFiles && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = argv[i] + arg.find('=') + 1;
            arg.resize(arg.find('='));
        }
        auto takeValue = [&]() -> const char* {
            if (value == nullptr && i + 1 < argc)
                value = argv[++i];
            return value;
        };
        double number = 0;
        auto numberFor = [&](double& field) {
            if (takeValue() == nullptr || !ParseNumber(value, number))
                return false;
            field = number;
            return true;
        };
        if (onlyFiles) {
            o.files.push_back(arg);
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-o" && command == "send") {
            if (takeValue() == nullptr)
                return Usage("-o needs a file name");
            o.output = value;
        } else if (arg == "--codes") {
            o.codes = true;
        } else if (arg == "--reverse") {
            o.settings.reverse = true;
        } else if (arg == "--no-afc" && command == "receive") {
            o.settings.afc = false;
        } else if (arg == "--mark" || arg == "--shift" || arg == "--baud" || arg == "--stop-bits" ||
                   arg == "--rate" || arg == "--lead-in") {
            ModemSettings& s = o.settings;
            double& field = arg == "--mark"        ? s.mark
                            : arg == "--shift"     ? s.shift
                            : arg == "--baud"      ? s.baud
                            : arg == "--stop-bits" ? s.stopBits
                            : arg == "--rate"      ? s.sampleRate
                                                   : s.leadIn;
            if (!numberFor(field))
                return Usage(arg + " needs a number");
        } else if (arg.size() > 1 && arg.front() == '-') {
            return Usage("unknown option " + arg);
        } else {
            o.files.push_back(arg);
        }
    }
    if (const std::string problem = CheckSettings(o.settings); !problem.empty())
        return Usage(problem);
    if (command == "send") {
        if (o.files.empty())
            return Usage("no FILE given ('-' reads standard input)");
        if (o.output != nullptr && std::string_view(o.output) != "-" && !IsAudioFileName(o.output))
            return Usage("the name of OUT must end in .wav or .flac");
        return Send(o);
    }
    return Receive(o);
}
