#include "audio/audio_port.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "audio/sound_monitor.h"
#include "link/connection.h"
#include "link/diagnostics.h"
#include "link/line_settings.h"
#include "link/tty_state.h"
#include "modem/demodulator.h"
#include "modem/modulator.h"

namespace tavirel {

namespace {

// How often the transmitter is fed and looks at what has been played.
constexpr int kTickMs = 10;
// Qt 6.4 says nothing when a device goes away: the lists are looked at.
constexpr int kDeviceLookMs = 1000;
// Tones ready beyond what the server holds, so a late tick finds some.
constexpr double kReadySeconds = 0.04;
// While keyed, the played position not moving this long is a stopped server.
constexpr double kStallSeconds = 2.0;
constexpr double kInputBufferSeconds = 0.05;
// Codes received and not yet read; beyond, the oldest are lost (CE_RXOVER).
constexpr std::size_t kReceivedLimit = 4096;

QAudioFormat LineFormat() {
    QAudioFormat format;
    format.setSampleRate(kLineSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

qsizetype Bytes(double seconds) {
    return static_cast<qsizetype>(std::lround(seconds * kLineSampleRate)) * 2;
}

// The device with the id, or for no id the server's default (or its first,
// when it names none).
QAudioDevice Choose(const QList<QAudioDevice>& devices, const QAudioDevice& fallback,
                    const std::string& id) {
    if (id.empty())
        return !fallback.isNull() || devices.isEmpty() ? fallback : devices.front();
    for (const QAudioDevice& d : devices)
        if (d.id().toStdString() == id)
            return d;
    return {};
}

bool Listed(const QList<QAudioDevice>& devices, const QByteArray& id) {
    return std::any_of(devices.begin(), devices.end(),
                       [&](const QAudioDevice& d) { return d.id() == id; });
}

// Waits for own or wake.
WaitResult WaitFor(int own, int wakeFd, int timeoutMs) {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {own, POLLIN, 0}};
    const int r = RetryPoll(wakeFd >= 0 ? fds : fds + 1, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (r <= 0)
        return r < 0 ? WaitResult::Failed : WaitResult::Timeout;
    if (wakeFd >= 0 && (fds[0].revents & POLLIN))
        return WaitResult::Woken;
    return WaitResult::Ready;
}

double LineBaud(std::uint32_t baud) {
    // The speeds of radio teletype, by the whole numbers they go by.
    switch (baud) {
        case 45:
            return 45.45;
        case 56:
        case 57:
            return 56.88;
        case 74:
            return 74.2;
        default:
            return baud;
    }
}

class AudioPort final : public Port {
  public:
    explicit AudioPort(const SoundSettings& settings) : sound_(settings) {
        modem_.sampleRate = kLineSampleRate;
        modem_.mark = settings.mark;
        modem_.shift = settings.shift;
        modem_.reverse = settings.reverse;
        modem_.leadIn = settings.leadIn;
        modem_.afc = settings.afc;
    }
    ~AudioPort() override {
        Close();
        for (const int fd : {inEvent_, outEvent_})
            if (fd >= 0)
                ::close(fd);
    }
    AudioPort(const AudioPort&) = delete;
    AudioPort& operator=(const AudioPort&) = delete;

    bool Open(std::string* problem) {
        inEvent_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        outEvent_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (inEvent_ < 0 || outEvent_ < 0) {
            *problem = "No event for the sound card's thread.";
            return false;
        }
        if (sound_.ptt != PushToTalk::None && !OpenPtt(problem))
            return false;
        // The sound server's devices are looked up here, so that Qt's link to
        // the server belongs to the caller's thread, which outlives ours.
        if (const int error = ChooseDevices(problem); error != 0) {
            Close();
            errno = error;
            return false;
        }
        SoundMonitor& monitor = TheSoundMonitor();
        monitor.mark = sound_.mark;
        monitor.afc = sound_.afc;
        monitor.squelch = sound_.squelch;
        context_ = new QObject;
        context_->moveToThread(&thread_);
        thread_.setObjectName(QStringLiteral("sound card"));
        thread_.start();
        int error = 0;
        QMetaObject::invokeMethod(
            context_, [&] { error = OpenDevices(problem); }, Qt::BlockingQueuedConnection);
        if (error != 0) {
            Close();
            errno = error;
            return false;
        }
        monitor.running = true;
        return true;
    }

    int Apply(const LinePlan& plan) override {
        const LineFraming framing = FramingOf(plan);
        ModemSettings s;
        {
            std::lock_guard lock(mutex_);
            s = modem_;
        }
        s.baud = LineBaud(framing.baud);
        s.stopBits = framing.stopHalfBits / 2.0;
        // Five-bit codes without parity are what the tones carry.
        if (!plan.valid || framing.dataBits != 5 || framing.parity || !CheckSettings(s).empty()) {
            errno = EINVAL;
            return 0;
        }
        std::lock_guard lock(mutex_);
        modem_ = s;
        plan_ = plan;
        ++settingsChanged_;
        return 1;
    }
    LinePlan Applied() const override {
        std::lock_guard lock(mutex_);
        return plan_;
    }

    int BytesWaiting() override {
        std::lock_guard lock(mutex_);
        return static_cast<int>(received_.size());
    }
    int Read(std::uint8_t* buffer, int maxLength) override {
        std::lock_guard lock(mutex_);
        if (received_.empty()) {
            errno = gone_ ? EIO : EAGAIN;
            return -1;
        }
        const auto n = std::min(received_.size(), static_cast<std::size_t>(std::max(maxLength, 0)));
        std::copy_n(received_.begin(), n, buffer);
        received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(n));
        if (received_.empty() && !gone_)
            DrainEvent(inEvent_);
        return static_cast<int>(n);
    }
    int Write(const std::uint8_t* bytes, int length) override {
        if (length <= 0)
            return 0;
        {
            std::lock_guard lock(mutex_);
            if (gone_) {
                errno = EIO;
                return -1;
            }
            // One character waits while the one before is being sent: enough
            // that the line never idles, little enough for a purge.
            if (!toSend_.empty()) {
                errno = EAGAIN;
                return -1;
            }
            toSend_.push_back(bytes[0] & 31);
        }
        OnThread([this] { Pump(); });
        return 1;
    }
    int OutputQueued() override {
        std::lock_guard lock(mutex_);
        return static_cast<int>(toSend_.size() + inFlight_.size());
    }
    std::uint32_t TakeErrors() override { return errors_.exchange(0); }

    // The line has no modem lines of its own; push-to-talk is the port's.
    bool SetDtr(bool) override { return false; }
    bool SetRts(bool) override { return false; }
    int ModemLines() override { return -1; }

    void Purge() override {
        PurgeOutput();
        std::lock_guard lock(mutex_);
        received_.clear();
        if (!gone_)
            DrainEvent(inEvent_);
    }
    void PurgeOutput() override {
        {
            std::lock_guard lock(mutex_);
            toSend_.clear();
            inFlight_.clear();
            // The transmitter goes off now; the sound follows on the thread.
            if (keyed_) {
                Key(false);
                silence_ = true;
            }
        }
        OnThread([this] { Pump(); });
    }

    WaitResult WaitInput(int wakeFd, int timeoutMs) override {
        const WaitResult r = WaitFor(inEvent_, wakeFd, timeoutMs);
        return r == WaitResult::Ready && Gone() ? WaitResult::Hangup : r;
    }
    WaitResult WaitOutput(int wakeFd, int timeoutMs) override {
        const WaitResult r = WaitFor(outEvent_, wakeFd, timeoutMs);
        if (r != WaitResult::Ready)
            return r;
        if (Gone())
            return WaitResult::Hangup;
        DrainEvent(outEvent_);
        return r;
    }
    WaitResult WaitModemChange(int wakeFd, int timeoutMs) override {
        const WaitResult r = WaitFor(-1, wakeFd, timeoutMs);
        return r == WaitResult::Ready ? WaitResult::Woken : r;
    }

    void Close() override {
        if (context_ != nullptr) {
            QMetaObject::invokeMethod(
                context_, [this] { StopDevices(); }, Qt::BlockingQueuedConnection);
            thread_.quit();
            thread_.wait();
            delete context_;
            context_ = nullptr;
            SoundMonitor& monitor = TheSoundMonitor();
            monitor.running = false;
            monitor.transmitting = false;
            monitor.squelchOpen = false;
        }
        std::lock_guard lock(mutex_);
        Key(false);
        if (ptt_) {
            ptt_->Close();
            ptt_.reset();
        }
        if (!gone_ && inEvent_ >= 0) {
            gone_ = true;
            SignalEvent(inEvent_);
            SignalEvent(outEvent_);
        }
    }

    bool PacesOutput() const override { return true; }

  private:
    enum class Phase { Idle, Keyed, Tail };

    template <typename F>
    void OnThread(F f) {
        if (context_ != nullptr)  // not after Close
            QMetaObject::invokeMethod(context_, std::move(f), Qt::QueuedConnection);
    }

    bool Gone() {
        std::lock_guard lock(mutex_);
        return gone_;
    }

    bool OpenPtt(std::string* problem) {
        const std::string name = PortName(sound_.pttPort);
        ptt_ = OpenPortNamed(name);
        if (!ptt_) {
            const int error = errno;
            *problem = name + " for push-to-talk: " + std::strerror(error) + ".";
            errno = error;
            return false;
        }
        // Opening a serial port raises its lines: the transmitter stays off.
        if (!(sound_.ptt == PushToTalk::Rts ? ptt_->SetRts(false) : ptt_->SetDtr(false))) {
            *problem = name + " has no " + (sound_.ptt == PushToTalk::Rts ? "RTS" : "DTR") +
                       " line to key the transmitter.";
            ptt_->Close();
            ptt_.reset();
            errno = ENOTTY;
            return false;
        }
        return true;
    }

    // Under mutex_.
    void Key(bool on) {
        if (ptt_ && on != keyed_) {
            const bool done = sound_.ptt == PushToTalk::Rts ? ptt_->SetRts(on) : ptt_->SetDtr(on);
            if (!done)
                LinkWarning(std::string("Push-to-talk did not go ") + (on ? "up" : "down") + ": " +
                            std::strerror(errno));
        }
        keyed_ = on;
        TheSoundMonitor().transmitting = on;
    }

    // Both devices, or the errno of what is wrong with them.
    int ChooseDevices(std::string* problem) {
        const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        if (outputs.isEmpty()) {
            *problem =
                "No sound server answers, or it has no sound output: start PulseAudio or "
                "PipeWire, then connect again.";
            return ECONNREFUSED;
        }
        output_ = Choose(outputs, QMediaDevices::defaultAudioOutput(), sound_.output);
        input_ = Choose(inputs, QMediaDevices::defaultAudioInput(), sound_.input);
        for (const auto& [device, id, what] : {std::tuple(&output_, &sound_.output, "output"),
                                               std::tuple(&input_, &sound_.input, "input")}) {
            if (device->isNull()) {
                *problem =
                    std::string("The sound ") + what + " " +
                    (id->empty() ? std::string("the server uses by default") : "\"" + *id + "\"") +
                    " is not there: plug it in, or choose another under Settings, Sound.";
                return ENODEV;
            }
            if (!device->isFormatSupported(LineFormat())) {
                *problem = "\"" + device->description().toStdString() + "\" cannot take " +
                           std::to_string(kLineSampleRate) + " Hz mono 16-bit sound.";
                return EINVAL;
            }
        }
        return 0;
    }

    // On the thread: both streams, or the errno of what failed.
    int OpenDevices(std::string* problem) {
        // The output is tried once now, so that a refusal is told at connect.
        if (!StartSink()) {
            *problem = "The sound server did not let Tavirel play through \"" +
                       output_.description().toStdString() + "\".";
            return EIO;
        }
        StopSink();
        source_ = new QAudioSource(input_, LineFormat(), context_);
        source_->setBufferSize(Bytes(kInputBufferSeconds));
        sourceIo_ = source_->start();
        if (sourceIo_ == nullptr || source_->error() != QAudio::NoError) {
            *problem = "The sound server did not let Tavirel listen to \"" +
                       input_.description().toStdString() + "\".";
            return EIO;
        }
        QObject::connect(sourceIo_, &QIODevice::readyRead, context_, [this] { Hear(); });
        WatchStream(source_, "the input stopped");
        tick_ = new QTimer(context_);
        tick_->setTimerType(Qt::PreciseTimer);
        tick_->setInterval(kTickMs);
        QObject::connect(tick_, &QTimer::timeout, context_, [this] { Pump(); });
        look_ = new QTimer(context_);
        look_->setInterval(kDeviceLookMs);
        QObject::connect(look_, &QTimer::timeout, context_, [this] { Look(); });
        look_->start();
        return 0;
    }

    // A stream the server broke off is a device gone, told from the loop
    // rather than from inside the stream's own signal.
    template <typename Stream>
    void WatchStream(Stream* const& stream, const char* why) {
        QObject::connect(
            stream, &Stream::stateChanged, context_,
            [this, &stream, why] {
                if (stream != nullptr &&
                    (stream->error() == QAudio::FatalError || stream->error() == QAudio::IOError))
                    Fault(why);
            },
            Qt::QueuedConnection);
    }

    bool StartSink() {
        sink_ = new QAudioSink(output_, LineFormat(), context_);
        sink_->setBufferSize(Bytes(kQueuedSeconds));
        sinkIo_ = sink_->start();
        if (sinkIo_ == nullptr || sink_->error() == QAudio::OpenError ||
            sink_->error() == QAudio::FatalError) {
            StopSink();
            return false;
        }
        WatchStream(sink_, "the output stopped");
        written_ = 0;
        played_ = 0;
        return true;
    }

    void StopSink() {
        if (sink_ == nullptr)
            return;
        sink_->disconnect(context_);
        sink_->stop();  // what is still queued is dropped
        sink_->deleteLater();
        sink_ = nullptr;
        sinkIo_ = nullptr;
    }

    void StopDevices() {
        if (tick_ != nullptr)
            tick_->stop();
        if (look_ != nullptr)
            look_->stop();
        StopSink();
        if (source_ != nullptr) {
            source_->disconnect(context_);
            source_->stop();
            source_->deleteLater();
            source_ = nullptr;
        }
    }

    // On the thread: a device or the server is gone.
    void Fault(const char* why) {
        {
            std::lock_guard lock(mutex_);
            if (gone_)
                return;
            gone_ = true;
            toSend_.clear();
            inFlight_.clear();
            Key(false);
            SignalEvent(inEvent_);
            SignalEvent(outEvent_);
        }
        phase_ = Phase::Idle;
        StopDevices();
        TheSoundMonitor().running = false;
        LinkWarning(std::string("The sound card is gone: ") + why);
    }

    void Look() {
        if (!Listed(QMediaDevices::audioOutputs(), output_.id())) {
            Fault("its output device went away");
            return;
        }
        if (!Listed(QMediaDevices::audioInputs(), input_.id()))
            Fault("its input device went away");
    }

    // On the thread: starts, feeds and ends transmissions.
    void Pump() {
        std::unique_lock lock(mutex_);
        if (gone_)
            return;
        if (silence_) {
            silence_ = false;
            lock.unlock();
            EndTransmission();
            lock.lock();
        }
        if (phase_ == Phase::Idle) {
            if (toSend_.empty())
                return;
            ModemSettings s = modem_;
            s.mark = TheSoundMonitor().mark.load();
            Key(true);
            lock.unlock();
            if (!StartSink()) {
                Fault("the output would not start");
                return;
            }
            modulator_ = std::make_unique<Modulator>(s);
            tones_.clear();
            modulator_->Begin(tones_);
            holdUntil_ = tones_.size() + static_cast<std::size_t>(kHoldSeconds * kLineSampleRate);
            phase_ = Phase::Keyed;
            lastMove_ = std::chrono::steady_clock::now();
            tick_->start();
            lock.lock();
        }
        Feed(lock);
    }

    // Under the lock, on the thread.
    void Feed(std::unique_lock<std::mutex>& lock) {
        const auto now = std::chrono::steady_clock::now();
        const std::int64_t played = sink_->processedUSecs() * kLineSampleRate / 1'000'000;
        if (played != played_) {
            played_ = played;
            lastMove_ = now;
        }
        bool changed = false;
        while (!inFlight_.empty() && inFlight_.front() <= played) {
            inFlight_.pop_front();
            changed = true;
        }
        // Tones for the next moments: a character when one waits, else mark
        // while the hold lasts, then the tail.
        const auto ready = static_cast<std::size_t>(kReadySeconds * kLineSampleRate);
        while (phase_ == Phase::Keyed && tones_.size() < ready) {
            if (!toSend_.empty()) {
                modulator_->Send(toSend_.front(), tones_);
                toSend_.pop_front();
                const std::size_t position = static_cast<std::size_t>(written_) + tones_.size();
                inFlight_.push_back(static_cast<std::int64_t>(position));
                holdUntil_ = position + static_cast<std::size_t>(kHoldSeconds * kLineSampleRate);
                changed = true;
            } else if (static_cast<std::size_t>(written_) + tones_.size() < holdUntil_) {
                modulator_->Idle(kTickMs / 1000.0, tones_);
            } else {
                modulator_->End(sound_.tail, tones_);
                phase_ = Phase::Tail;
            }
        }
        if (changed)
            SignalEvent(outEvent_);
        const bool tailPlayed = phase_ == Phase::Tail && tones_.empty() && played >= written_;
        lock.unlock();

        const qsizetype room =
            std::min<qsizetype>(sink_->bytesFree() / 2, static_cast<qsizetype>(tones_.size()));
        if (room > 0) {
            pcm_.resize(static_cast<std::size_t>(room));
            for (std::size_t i = 0; i < pcm_.size(); ++i)
                pcm_[i] = static_cast<std::int16_t>(
                    std::lround(std::clamp(tones_[i], -1.0f, 1.0f) * 32767.0f));
            const qint64 put = sinkIo_->write(reinterpret_cast<const char*>(pcm_.data()), room * 2);
            if (put > 0) {
                tones_.erase(tones_.begin(), tones_.begin() + static_cast<std::ptrdiff_t>(put / 2));
                written_ += put / 2;
            }
        }
        if (tailPlayed) {
            EndTransmission();
            // A character that came during the tail starts a new one.
            Pump();
            return;
        }
        if (std::chrono::duration<double>(now - lastMove_).count() > kStallSeconds)
            Fault("the sound server stopped playing");
        lock.lock();
    }

    // On the thread, without the lock.
    void EndTransmission() {
        tick_->stop();
        StopSink();
        phase_ = Phase::Idle;
        tones_.clear();
        std::lock_guard lock(mutex_);
        Key(false);
        inFlight_.clear();
        // The echo of our own signal is not taken for the far end's.
        restartReceiver_ = true;
        SignalEvent(outEvent_);
    }

    // On the thread: what the input heard.
    void Hear() {
        const QByteArray data = sourceIo_->readAll();
        const auto count = static_cast<std::size_t>(data.size() / 2);
        if (count == 0)
            return;
        heard_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            std::int16_t v;
            std::memcpy(&v, data.constData() + 2 * i, 2);
            heard_[i] = static_cast<float>(v) / 32768.0f;
        }
        SoundMonitor& monitor = TheSoundMonitor();
        monitor.PushInput(heard_.data(), count, kLineSampleRate);

        ModemSettings s;
        bool keyed, restart;
        {
            std::lock_guard lock(mutex_);
            s = modem_;
            keyed = keyed_;
            restart = restartReceiver_ || settingsSeen_ != settingsChanged_;
            restartReceiver_ = false;
            settingsSeen_ = settingsChanged_;
        }
        if (keyed)
            return;
        s.mark = monitor.mark.load();
        s.afc = monitor.afc.load();
        if (restart || !demodulator_ || s.mark != rxMark_ || s.afc != rxAfc_) {
            if (!CheckSettings(s).empty())
                return;
            demodulator_ = std::make_unique<Demodulator>(s);
            rxMark_ = s.mark;
            rxAfc_ = s.afc;
        }
        demodulator_->SetSquelch(monitor.squelch.load());
        codes_.clear();
        demodulator_->Process(heard_.data(), count, codes_);
        monitor.squelchOpen = demodulator_->SquelchOpen();
        monitor.frequencyOffset = demodulator_->FrequencyOffset();
        if (codes_.empty())
            return;
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), codes_.begin(), codes_.end());
        if (received_.size() > kReceivedLimit) {
            received_.erase(received_.begin(),
                            received_.end() - static_cast<std::ptrdiff_t>(kReceivedLimit));
            errors_ |= CE_RXOVER;
        }
        SignalEvent(inEvent_);
    }

    const SoundSettings sound_;
    int inEvent_ = -1;   // readable while codes wait or the line is gone
    int outEvent_ = -1;  // signalled when the line takes a character, one leaves, or it is gone

    mutable std::mutex mutex_;  // guards what both sides of the thread touch
    ModemSettings modem_;
    LinePlan plan_;
    int settingsChanged_ = 0;
    std::deque<std::uint8_t> toSend_;
    std::deque<std::int64_t> inFlight_;  // where each character sent ends, in samples played
    std::deque<std::uint8_t> received_;
    std::unique_ptr<Port> ptt_;
    bool keyed_ = false;
    bool silence_ = false;
    bool restartReceiver_ = false;
    bool gone_ = false;
    std::atomic<std::uint32_t> errors_{0};

    // The thread's own.
    QThread thread_;
    QObject* context_ = nullptr;
    QAudioDevice output_, input_;
    QAudioSink* sink_ = nullptr;
    QIODevice* sinkIo_ = nullptr;
    QAudioSource* source_ = nullptr;
    QIODevice* sourceIo_ = nullptr;
    QTimer* tick_ = nullptr;
    QTimer* look_ = nullptr;
    Phase phase_ = Phase::Idle;
    std::unique_ptr<Modulator> modulator_;
    std::vector<float> tones_;  // made, not yet taken by the server
    std::vector<std::int16_t> pcm_;
    std::int64_t written_ = 0;  // samples the server took this transmission
    std::int64_t played_ = 0;
    std::size_t holdUntil_ = 0;
    std::chrono::steady_clock::time_point lastMove_;
    std::unique_ptr<Demodulator> demodulator_;
    double rxMark_ = 0;
    bool rxAfc_ = false;
    int settingsSeen_ = 0;
    std::vector<float> heard_;
    std::vector<std::uint8_t> codes_;
};

}  // namespace

std::unique_ptr<Port> OpenAudioPort(const SoundSettings& settings, std::string* problem) {
    std::string ignored;
    std::string& why = problem != nullptr ? *problem : ignored;
    why.clear();
    auto port = std::make_unique<AudioPort>(settings);
    if (!port->Open(&why)) {
        const int error = errno;
        LinkWarning("Cannot use the sound card: " + why);
        errno = error;
        return nullptr;
    }
    return port;
}

std::string OutputDeviceName(const SoundSettings& settings) {
    const QAudioDevice device =
        Choose(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput(), settings.output);
    if (!device.isNull())
        return device.description().toStdString();
    return settings.output.empty() ? std::string(kSoundCardName) : settings.output;
}

void UseSoundCard() {
    SetSoundCardOpener({OpenAudioPort, OutputDeviceName});
}

}  // namespace tavirel
