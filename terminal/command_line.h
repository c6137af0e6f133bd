// The two questions the command line can ask of the program itself. They are
// answered before Qt starts, so that they need no display.
#pragma once

#include <optional>

namespace tavirel {

// --help (or -h) prints the usage, --version the version, on standard output;
// either way the result is the exit status. Without them, nothing: every other
// argument is left to Qt, as before.
std::optional<int> AnswerInformationOptions(int argc, const char* const argv[]);

// --sound-card: the line is the sound card from the start, instead of COM3.
bool AsksForSoundCard(int argc, const char* const argv[]);

}  // namespace tavirel
