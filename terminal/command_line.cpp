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
    "      --sound-card  start with the sound card as the line\n"
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

bool AsksForSoundCard(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--sound-card")
            return true;
    return false;
}

}  // namespace tavirel
