// The two questions the command line can ask of the program itself. They are
// answered before Qt starts, so that they need no display.
#pragma once

#include <optional>
#include <string>

namespace tavirel {

// --help (or -h) prints the usage, --version the version, on standard output;
// either way the result is the exit status. Without them, nothing: every other
// argument is left to Qt, as before.
std::optional<int> AnswerInformationOptions(int argc, const char* const argv[]);

// --sound-card, --sound-output NAME, --sound-input NAME: the line is the
// sound card from the start instead of COM3, on the devices the sound server
// knows by those names (empty: its defaults).
struct SoundCardChoice {
    std::string output;
    std::string input;
};
std::optional<SoundCardChoice> AsksForSoundCard(int argc, const char* const argv[]);

}  // namespace tavirel
