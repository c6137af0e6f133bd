#include "modem/settings.h"

#include <cmath>

namespace tavirel {

std::string CheckSettings(const ModemSettings& s) {
    if (!(s.sampleRate >= 4000.0 && s.sampleRate <= 384000.0))
        return "the sample rate must be between 4000 and 384000 Hz";
    if (!(s.baud >= 10.0 && s.baud <= 300.0))
        return "the speed must be between 10 and 300 baud";
    if (s.stopBits != 1.0 && s.stopBits != 1.5 && s.stopBits != 2.0)
        return "the stop bits are 1, 1.5 or 2";
    if (!(s.shift >= 20.0 && s.shift <= 2000.0))
        return "the shift must be between 20 and 2000 Hz";
    if (!(s.mark >= 100.0))
        return "the mark tone must be 100 Hz or more";
    // Room above the upper tone for the signal's sidebands and the tuning range.
    if (!(s.mark + s.shift + 2.0 * s.baud + 150.0 < s.sampleRate / 2.0))
        return "the tones are too high for the sample rate";
    if (!(s.leadIn >= 0.0 && s.leadIn <= 60.0))
        return "the lead-in must be between 0 and 60 seconds";
    return {};
}

}  // namespace tavirel
