// How the sound card is used when it is the line. Edited by the Sound
// dialog; speed and stop bits come from the line settings as for a serial
// port.
#pragma once

#include <string>

namespace tavirel {

enum class PushToTalk { None, Rts, Dtr };  // None: the transmitter keys itself (VOX)

struct SoundSettings {
    std::string output;  // device ids as the sound server gives them; empty: its default
    std::string input;
    double mark = 2125.0;  // Hz, the lower tone
    double shift = 170.0;  // Hz between the tones
    bool reverse = false;  // mark on the upper tone
    double leadIn = 1.0;   // seconds of steady mark before the first character
    double tail = 0.25;    // seconds of mark after the last
    PushToTalk ptt = PushToTalk::None;
    int pttPort = 1;  // COMn whose RTS or DTR keys the transmitter
    bool afc = true;
    double squelch = 0.5;  // 0 (always open) to 1 (strong signals only)
};

}  // namespace tavirel
