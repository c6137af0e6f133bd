#include "terminal/waterfall.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <span>
#include <utility>

#include "dialogs/sound_dialog.h"

namespace tavirel {

namespace {

// Polled this often while the line runs, seldom while it does not: no input
// comes then, and an idle window should hardly wake.
constexpr int kRunningPollMs = 50;
constexpr int kIdlePollMs = 250;
// The colours span this many dB from just below the noise floor, so the
// waterfall looks alike whatever the input's gain.
constexpr double kBelowFloorDb = 3.0;
constexpr double kSpanDb = 40.0;
constexpr double kLowestLevelDb = -80.0;  // the level bar's left end, in dBFS
constexpr double kNoSnrDb = -20.0;        // what the estimate reads for no signal
const QColor kMarkColour(255, 80, 80);
const QColor kSpaceColour(80, 170, 255);

bool Silent(const std::vector<TuningScope::Point>& points) {
    return std::all_of(points.begin(), points.end(),
                       [](const TuningScope::Point& p) { return p.x == 0 && p.y == 0; });
}

}  // namespace

// The spectrum rows under a frequency ruler. Each new row moves the pixels
// already shown down by scrolling them, so only the new row is painted.
class SpectrumView : public QWidget {
  public:
    explicit SpectrumView(QWidget* parent) : QWidget(parent) {
        // Every pixel is painted, which lets a scroll keep the old ones.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setCursor(Qt::CrossCursor);
        setMinimumWidth(200);
        setToolTip(QStringLiteral("Click a signal's lower tone to tune to it"));
        const std::array<std::pair<double, QColor>, 5> stops{{{0.0, QColor(0, 0, 0)},
                                                              {0.3, QColor(0, 0, 170)},
                                                              {0.55, QColor(0, 190, 255)},
                                                              {0.8, QColor(255, 255, 0)},
                                                              {1.0, QColor(255, 60, 0)}}};
        for (std::size_t i = 0; i < palette_.size(); ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(palette_.size() - 1);
            std::size_t s = 1;
            while (s + 1 < stops.size() && stops[s].first < t)
                ++s;
            const auto& [t0, c0] = stops[s - 1];
            const auto& [t1, c1] = stops[s];
            const double u = (t - t0) / (t1 - t0);
            const auto mix = [u](int a, int b) {
                return static_cast<int>(std::lround(a + (b - a) * u));
            };
            palette_[i] = qRgb(mix(c0.red(), c1.red()), mix(c0.green(), c1.green()),
                               mix(c0.blue(), c1.blue()));
        }
    }

    std::function<void(double)> tuned;

    int RulerHeight() const { return fontMetrics().height() + 4; }
    QRect ImageRect() const {
        return {0, RulerHeight(), width(), std::max(0, height() - RulerHeight())};
    }
    double FrequencyAt(int x) const { return (x + 0.5) * kWaterfallTopHz / std::max(1, width()); }
    int XOf(double hz) const {
        return static_cast<int>(std::floor(hz / kWaterfallTopHz * width()));
    }

    void SetMarkers(double lowerHz, double upperHz, bool reverse) {
        const std::array<int, 3> markers{XOf(lowerHz), XOf(upperHz), reverse ? 1 : 0};
        if (markers == markers_)
            return;
        markers_ = markers;
        update();
    }

    void AddRow(std::span<const float> power, double binHz, double noiseFloor) {
        const QRect area = ImageRect();
        if (area.isEmpty() || power.empty())
            return;
        if (image_.size() != area.size()) {
            image_ = QImage(area.size(), QImage::Format_RGB32);
            image_.fill(Qt::black);
        }
        MapPixels(power.size(), binHz);
        const auto line = static_cast<std::size_t>(image_.bytesPerLine());
        std::memmove(image_.bits() + line, image_.constBits(),
                     line * static_cast<std::size_t>(image_.height() - 1));
        auto* row = reinterpret_cast<QRgb*>(image_.scanLine(0));
        const double floorDb = 10.0 * std::log10(std::max(noiseFloor, 1e-20)) - kBelowFloorDb;
        for (int x = 0; x < image_.width(); ++x) {
            const auto [from, to] = spans_[static_cast<std::size_t>(x)];
            const float p = *std::max_element(power.begin() + from, power.begin() + to);
            const double db = 10.0 * std::log10(std::max(static_cast<double>(p), 1e-20));
            const auto level = static_cast<long>((db - floorDb) / kSpanDb * 255.0);
            row[x] = palette_[static_cast<std::size_t>(std::clamp(level, 0L, 255L))];
        }
        scroll(0, 1, area);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        const QRect area = ImageRect();
        const QRect ruler(0, 0, width(), RulerHeight());
        if (event->rect().intersects(ruler))
            DrawRuler(painter, ruler);
        const QRect wanted = event->rect() & area;
        if (wanted.isEmpty())
            return;
        if (image_.size() == area.size())
            painter.drawImage(wanted, image_, wanted.translated(0, -area.y()));
        else
            painter.fillRect(wanted, Qt::black);
        // The markers run down the whole waterfall; a scroll carries them
        // along, since they stand still until the tones move.
        painter.setClipRect(wanted);
        for (const int i : {0, 1}) {
            const bool mark = (i == 0) != (markers_[2] != 0);
            painter.setPen(QPen(mark ? kMarkColour : kSpaceColour, 1, Qt::DotLine));
            painter.drawLine(markers_[std::size_t(i)], area.top(), markers_[std::size_t(i)],
                             area.bottom());
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && tuned)
            tuned(FrequencyAt(event->position().toPoint().x()));
    }

    void resizeEvent(QResizeEvent*) override {
        spans_.clear();
        image_ = QImage();
        update();
    }

  private:
    void DrawRuler(QPainter& painter, const QRect& ruler) {
        painter.fillRect(ruler, palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::WindowText));
        const int bottom = ruler.bottom();
        // Every 500 Hz named where the names fit, else every 1000 Hz.
        const int label = fontMetrics().horizontalAdvance(QStringLiteral("2500")) * 3 / 2;
        const int named = XOf(500) - XOf(0) >= label ? 500 : 1000;
        for (int hz = 100; hz < static_cast<int>(kWaterfallTopHz); hz += 100) {
            const int x = XOf(hz);
            const bool major = hz % 500 == 0;
            painter.drawLine(x, bottom - (major ? 5 : 2), x, bottom);
            if (hz % named == 0)
                painter.drawText(QRect(x - label, 0, 2 * label, bottom - 4), Qt::AlignCenter,
                                 QString::number(hz));
        }
        for (const int i : {0, 1}) {
            const bool mark = (i == 0) != (markers_[2] != 0);
            const int x = markers_[std::size_t(i)];
            const QPolygon arrow(
                {QPoint(x - 4, bottom - 7), QPoint(x + 4, bottom - 7), QPoint(x, bottom)});
            painter.setPen(Qt::NoPen);
            painter.setBrush(mark ? kMarkColour : kSpaceColour);
            painter.drawPolygon(arrow);
        }
    }

    void MapPixels(std::size_t bins, double binHz) {
        if (spans_.size() == static_cast<std::size_t>(width()) && bins == mappedBins_ &&
            binHz == mappedBinHz_)
            return;
        mappedBins_ = bins;
        mappedBinHz_ = binHz;
        spans_.resize(static_cast<std::size_t>(width()));
        const auto bin = [&](double hz) {
            return std::clamp(static_cast<long>(std::lround(hz / binHz)), 0L,
                              static_cast<long>(bins) - 1);
        };
        for (int x = 0; x < width(); ++x) {
            const long from = bin(x * kWaterfallTopHz / width());
            const long to = std::max(from + 1, bin((x + 1) * kWaterfallTopHz / width()));
            spans_[static_cast<std::size_t>(x)] = {from, to};
        }
    }

    std::array<QRgb, 256> palette_{};
    QImage image_;
    std::vector<std::pair<long, long>> spans_;  // bins [from, to) of each pixel column
    std::size_t mappedBins_ = 0;
    double mappedBinHz_ = 0;
    std::array<int, 3> markers_{-1, -1, 0};  // lower x, upper x, reversed
};

// Mark filter across, space filter up: a horizontal line for mark, a
// vertical one for space, a cross for a signal in tune.
class TuningIndicator : public QWidget {
  public:
    explicit TuningIndicator(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setToolTip(QStringLiteral("Tuning: mark across, space up; a cross when in tune"));
    }
    void SetPoints(std::vector<TuningScope::Point> points) {
        // Silence after silence looks the same: nothing to paint.
        const bool still = Silent(points) && Silent(points_);
        points_ = std::move(points);
        if (!still)
            update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        const QPointF centre = QRectF(rect()).center();
        const double radius = std::min(width(), height()) * 0.45;
        painter.setPen(QColor(0, 90, 0));
        painter.drawLine(QPointF(centre.x() - radius, centre.y()),
                         QPointF(centre.x() + radius, centre.y()));
        painter.drawLine(QPointF(centre.x(), centre.y() - radius),
                         QPointF(centre.x(), centre.y() + radius));
        QPolygonF dots;
        dots.reserve(static_cast<qsizetype>(points_.size()));
        for (const TuningScope::Point& p : points_)
            dots << QPointF(centre.x() + p.x * radius, centre.y() - p.y * radius);
        painter.setPen(QColor(80, 255, 80));
        painter.drawPoints(dots);
    }

  private:
    std::vector<TuningScope::Point> points_;
};

// The input's level as a bar, green while the squelch is open, with the
// signal-to-noise estimate written on it.
class LevelBar : public QWidget {
  public:
    explicit LevelBar(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumHeight(fontMetrics().height() + 6);
        setToolTip(QStringLiteral("Input level, and the signal over the noise at the tones"));
    }
    void Show(double levelDbfs, double snrDb, bool open, bool transmitting) {
        const double fill = std::clamp((levelDbfs - kLowestLevelDb) / -kLowestLevelDb, 0.0, 1.0);
        const int filled = static_cast<int>(fill * (width() - 2));
        const QString text = transmitting ? QStringLiteral("TX")
                             : snrDb <= kNoSnrDb
                                 ? QStringLiteral("SNR \u2013")
                                 : QStringLiteral("SNR %1 dB").arg(std::lround(snrDb));
        if (filled == filled_ && text == text_ && open == open_)
            return;
        filled_ = filled;
        text_ = text;
        open_ = open;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(30, 30, 30));
        painter.fillRect(QRect(1, 1, filled_, height() - 2),
                         open_ ? QColor(40, 170, 40) : QColor(90, 90, 110));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text_);
    }

  private:
    int filled_ = -1;
    QString text_;
    bool open_ = false;
};

Waterfall::Waterfall(SoundMonitor& monitor, QWidget* parent) : QWidget(parent), monitor_(monitor) {
    view_ = new SpectrumView(this);
    view_->tuned = [this](double hz) { Tune(hz); };
    indicator_ = new TuningIndicator(this);
    level_ = new LevelBar(this);
    afc_ = new QCheckBox(QStringLiteral("AFC"), this);
    afc_->setToolTip(QStringLiteral("Follow a signal that drifts"));
    squelch_ = new QSlider(Qt::Horizontal, this);
    squelch_->setRange(0, 100);
    squelch_->setToolTip(QStringLiteral("Squelch: how strong a signal must be to print"));
    auto* squelchLabel = new QLabel(QStringLiteral("Squelch"), this);
    // Typing goes to the screen, whatever was clicked here last.
    for (QWidget* w : std::initializer_list<QWidget*>{view_, indicator_, level_, afc_, squelch_})
        w->setFocusPolicy(Qt::NoFocus);

    const int side = 6 * fontMetrics().height();
    indicator_->setFixedSize(side, side);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(afc_);
    column->addWidget(squelchLabel);
    column->addWidget(squelch_);
    column->addStretch(1);
    column->addWidget(level_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(4);
    row->addWidget(view_, 1);
    row->addWidget(indicator_);
    row->addLayout(column);
    level_->setFixedWidth(9 * fontMetrics().averageCharWidth() + 20);
    setFixedHeight(side + 4);

    connect(afc_, &QCheckBox::toggled, this, [this](bool on) {
        monitor_.afc = on;
        if (settings_ != nullptr)
            settings_->afc = on;
    });
    connect(squelch_, &QSlider::valueChanged, this, [this](int value) {
        monitor_.squelch = value / 100.0;
        if (settings_ != nullptr)
            settings_->squelch = value / 100.0;
    });
    timer_.setInterval(kIdlePollMs);
    connect(&timer_, &QTimer::timeout, this, &Waterfall::Step);
}

Waterfall::~Waterfall() = default;

QWidget* Waterfall::SpectrumArea() const {
    return view_;
}

void Waterfall::SetSettings(SoundSettings* settings) {
    settings_ = settings;
    Sync();
}

void Waterfall::Sync() {
    if (settings_ == nullptr)
        return;
    const SoundSettings& s = *settings_;
    monitor_.mark = s.mark;
    monitor_.afc = s.afc;
    monitor_.squelch = s.squelch;
    const QSignalBlocker blockAfc(afc_), blockSquelch(squelch_);
    afc_->setChecked(s.afc);
    squelch_->setValue(static_cast<int>(std::lround(s.squelch * 100.0)));
    ShowMarkers();
}

double Waterfall::Shift() const {
    return settings_ != nullptr ? settings_->shift : SoundSettings{}.shift;
}

void Waterfall::ShowMarkers() {
    const double shift = Shift();
    const bool reverse = settings_ != nullptr && settings_->reverse;
    const double lower = monitor_.mark.load() + monitor_.frequencyOffset.load();
    view_->SetMarkers(lower, lower + shift, reverse);
    if (spectrum_) {
        spectrum_->SetTones(lower, lower + shift);
        scope_->SetTones(reverse ? lower + shift : lower, reverse ? lower : lower + shift);
    }
}

// The clicked frequency becomes the lower tone, kept where both tones stay
// in the radio's passband.
void Waterfall::Tune(double hz) {
    const double shift = Shift();
    const double mark =
        std::round(std::clamp(hz, kLowestToneHz, std::max(kLowestToneHz, kHighestToneHz - shift)));
    monitor_.mark = mark;
    if (settings_ != nullptr)
        settings_->mark = mark;
    ShowMarkers();
}

void Waterfall::Step() {
    const int interval = monitor_.running.load() ? kRunningPollMs : kIdlePollMs;
    if (timer_.interval() != interval)
        timer_.setInterval(interval);
    samples_.clear();
    const double rate = monitor_.ReadInput(&position_, samples_);
    if (samples_.empty())
        return;
    if (!spectrum_ || spectrum_->SampleRate() != rate) {
        spectrum_ = std::make_unique<Spectrum>(rate);
        scope_ = std::make_unique<TuningScope>(rate);
    }
    ShowMarkers();
    spectrum_->Write(samples_, [this](std::span<const float> row) {
        view_->AddRow(row, spectrum_->BinHz(), spectrum_->NoiseFloor());
        ++rows_;
    });
    scope_->Write(samples_);
    indicator_->SetPoints(scope_->Points());
    level_->Show(spectrum_->LevelDbfs(), spectrum_->SnrDb(), monitor_.squelchOpen.load(),
                 monitor_.transmitting.load());
}

void Waterfall::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void Waterfall::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace tavirel
