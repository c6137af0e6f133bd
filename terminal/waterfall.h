// The panel under the screen while the sound card is the line: the input's
// spectrum from 0 to 3 kHz scrolling down, markers for mark and space, click
// to tune, AFC, the level with an SNR estimate, the squelch and a crossed-
// ellipse tuning indicator. It only polls the sound monitor on a timer, so it
// never holds up the line or the screen, and does nothing when no samples
// came.
#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/band_scope.h"
#include "audio/sound_monitor.h"
#include "audio/sound_settings.h"

class QCheckBox;
class QSlider;

namespace tavirel {

class SpectrumView;
class TuningIndicator;
class LevelBar;

class Waterfall : public QWidget {
    Q_OBJECT
  public:
    explicit Waterfall(SoundMonitor& monitor, QWidget* parent = nullptr);
    ~Waterfall() override;

    // The record's sound settings, which the controls write as the monitor's;
    // null detaches them.
    void SetSettings(SoundSettings* settings);
    // The settings' mark, AFC and squelch to the controls and the monitor:
    // at start and after the Sound dialog.
    void Sync();
    // Takes what the monitor heard since the last step and draws it; the
    // timer calls it while the panel is shown.
    void Step();

    // The spectrum's area: x maps 0 Hz to the top frequency.
    QWidget* SpectrumArea() const;
    // Rows drawn since the panel was made.
    std::uint64_t Rows() const { return rows_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Tune(double hz);
    double Shift() const;
    void ShowMarkers();

    SoundMonitor& monitor_;
    SoundSettings* settings_ = nullptr;
    QTimer timer_;
    std::uint64_t position_ = 0;  // of the monitor's input
    std::vector<float> samples_;
    std::unique_ptr<Spectrum> spectrum_;
    std::unique_ptr<TuningScope> scope_;
    std::uint64_t rows_ = 0;
    SpectrumView* view_ = nullptr;
    TuningIndicator* indicator_ = nullptr;
    LevelBar* level_ = nullptr;
    QCheckBox* afc_ = nullptr;
    QSlider* squelch_ = nullptr;
};

}  // namespace tavirel
