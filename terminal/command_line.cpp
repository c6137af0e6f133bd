#include "terminal/command_line.h"

#include <cstdio>
#include <string_view>

namespace tavirel {

namespace {

constexpr const char* kUsage =
    "Usage: tavirel [Qt options]\n"
    "A terminal for teleprinters on a serial port.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "      --sound-card\n"
    "                 start with the sound card as the line\n"
    "      --sound-output NAME, --sound-input NAME\n"
    "                 the same, on the sound server's devices of these names\n"
    "\n"
    "The port, speed, framing, flow control and code mode are chosen under\n"
    "Settings; every start is COM3, 45 baud, 5N1.5, BAUDOT. COMn is the link\n"
    "COMn in ~/.config/tavirel/ports/ if there is one, else /dev/ttyS(n-1).\n"
    "Shift+PgUp connects, Shift+PgDn disconnects. See tavirel(1).\n";

}  // namespace

std::optional<int> AnswerInformationOptions(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("tavirel %s\n", TAVIREL_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<SoundCardChoice> AsksForSoundCard(int argc, const char* const argv[]) {
    std::optional<SoundCardChoice> choice;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--sound-card") {
            choice.emplace();
            continue;
        }
        for (const auto& [name, field] :
             {std::pair{std::string_view("--sound-output"), &SoundCardChoice::output},
              std::pair{std::string_view("--sound-input"), &SoundCardChoice::input}}) {
            std::string_view value;
            if (argument.starts_with(name) && argument.substr(name.size()).starts_with('='))
                value = argument.substr(name.size() + 1);
            else if (argument == name && i + 1 < argc)
                value = argv[++i];
            else
                continue;
            if (!choice)
                choice.emplace();
            (*choice).*field = std::string(value);
        }
    }
    return choice;
}

}  // namespace tavirel
