// The Sound dialog (template 106): how the sound card is used when it is the
// line. OK stores into the record's sound settings, Cancel leaves them.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound_settings.h"

class QWidget;

namespace tavirel {

class TemplateDialog;

struct SoundDevice {
    std::string id;
    QString description;
};

// The sound server's devices, each list with its default first.
struct SoundDevices {
    std::vector<SoundDevice> outputs;
    std::vector<SoundDevice> inputs;
};
SoundDevices ListSoundDevices();

// Tests: the lister answers in place of the sound server; null asks it again.
using SoundDeviceLister = std::function<SoundDevices()>;
void SetSoundDeviceLister(SoundDeviceLister lister);

inline constexpr char kSoundCaption[] = "Sound Card";
// The tones are kept where a radio's audio passes.
inline constexpr double kLowestToneHz = 300.0;
inline constexpr double kHighestToneHz = 3000.0;
inline constexpr double kLongestTail = 60.0;  // seconds

class SoundDialog {
  public:
    SoundDialog(QWidget* owner, SoundSettings* settings);
    ~SoundDialog();
    SoundDialog(const SoundDialog&) = delete;
    SoundDialog& operator=(const SoundDialog&) = delete;

    TemplateDialog* Dialog() const { return dialog_.get(); }

    // The controls' values over `out`: empty when they make a usable line,
    // else what is wrong, as a sentence for the operator.
    std::string Read(SoundSettings& out) const;

  private:
    void Fill();
    void OnCommand(int id);

    SoundSettings* settings_;
    std::unique_ptr<TemplateDialog> dialog_;
};

// Runs the dialog modally; 1 for OK, 0 for Cancel or without settings, -1
// when the dialog cannot be made.
int RunSoundDialog(QWidget* owner, SoundSettings* settings);

}  // namespace tavirel
