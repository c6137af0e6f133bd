// The sound card as a line of the terminal, behind the serial port's
// interface: codes written go out as RTTY tones, tones heard come in as codes.
//
// The sound card's clock is the line's. The port takes a character only when
// its tones are about to be needed, and a character counts as sent once its
// last stop bit has been played (the output latency counted), so the writer
// above keeps step with what is heard. About kQueuedSeconds of sound waits at
// the sound server; a purge throws it away and drops push-to-talk at once.
//
// A transmission: push-to-talk up, the lead-in of steady mark, the
// characters, steady mark for kHoldSeconds while more may come, the tail,
// push-to-talk down once the tail has been played. While it lasts, what the
// input hears is shown to the waterfall but not decoded.
//
// A device that goes away or a sound server that stops is a hang-up: the
// waits answer Hangup, reads and writes fail with EIO, push-to-talk drops.
#pragma once

#include <memory>
#include <string>

#include "audio/sound_settings.h"
#include "link/port.h"

namespace tavirel {

// Sample rate of both directions; the sound server converts.
inline constexpr int kLineSampleRate = 8000;
// How long the transmitter stays keyed on steady mark after a character,
// for the next one of a typist.
inline constexpr double kHoldSeconds = 2.0;
// Sound queued at the server ahead of what is playing: enough to ride out a
// busy machine's late ticks; a purge throws it away, so it never delays Exit.
inline constexpr double kQueuedSeconds = 0.2;

// Opens the sound card the settings choose, and the serial port for
// push-to-talk when they want one. Null with errno set and *problem a
// sentence for the operator when it cannot: ECONNREFUSED when no sound server
// answers, ENODEV when a chosen device is not there, EINVAL when a device
// refuses the format, or what opening the push-to-talk port gave.
std::unique_ptr<Port> OpenAudioPort(const SoundSettings& settings, std::string* problem);

// The output device the settings choose, as the sound server describes it.
std::string OutputDeviceName(const SoundSettings& settings);

// Makes the two above the link's sound card.
void UseSoundCard();

}  // namespace tavirel
