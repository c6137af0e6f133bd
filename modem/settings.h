// The line settings of an audio (AFSK) teleprinter line, shared by the
// modulator and the demodulator.
#pragma once

#include <string>

namespace tavirel {

struct ModemSettings {
    double sampleRate = 8000.0;  // Hz, chosen by the caller
    double mark = 2125.0;        // Hz: the lower tone, mark unless reversed
    double shift = 170.0;        // Hz between the tones
    bool reverse = false;        // mark on the upper tone
    double baud = 45.45;
    double stopBits = 1.5;  // 1, 1.5 or 2
    double leadIn = 1.0;    // seconds of steady mark before the first character
    bool afc = true;        // follow a mistuned signal (receive only)

    double MarkHz() const { return reverse ? mark + shift : mark; }
    double SpaceHz() const { return reverse ? mark : mark + shift; }
    double BitSamples() const { return sampleRate / baud; }
};

// Empty when the settings make a usable line, otherwise what is wrong with
// them, as a sentence for the user.
std::string CheckSettings(const ModemSettings& s);

}  // namespace tavirel
