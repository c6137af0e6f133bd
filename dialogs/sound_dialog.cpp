#include "dialogs/sound_dialog.h"

#include <QAudioDevice>
#include <QComboBox>
#include <QMediaDevices>
#include <algorithm>
#include <cctype>
#include <utility>

#include "dialogs/dialog_builder.h"
#include "dialogs/message_box.h"
#include "link/line_settings.h"
#include "link/port.h"
#include "modem/settings.h"

namespace tavirel {

namespace {

SoundDeviceLister& Lister() {
    static SoundDeviceLister lister;
    return lister;
}

std::vector<SoundDevice> DefaultFirst(const QList<QAudioDevice>& all, const QAudioDevice& chosen) {
    std::vector<SoundDevice> out;
    if (!chosen.isNull())
        out.push_back({chosen.id().toStdString(), chosen.description()});
    for (const QAudioDevice& d : all) {
        if (d.id() != chosen.id())
            out.push_back({d.id().toStdString(), d.description()});
    }
    return out;
}

// A stored device that is not there now (unplugged) stays chosen, so that OK
// does not quietly move the line to another one.
void FillDevices(QComboBox* list, const std::vector<SoundDevice>& devices,
                 const std::string& current) {
    if (list == nullptr)
        return;
    int selected = -1;
    for (const SoundDevice& d : devices) {
        if (d.id == current)
            selected = list->count();
        // Alike devices (two null sinks, two of one adapter) differ by id.
        const bool alike = std::count_if(devices.begin(), devices.end(), [&](const SoundDevice& o) {
                               return o.description == d.description;
                           }) > 1;
        list->addItem(
            alike ? QStringLiteral("%1 (%2)").arg(d.description, QString::fromStdString(d.id))
                  : d.description,
            QString::fromStdString(d.id));
    }
    if (selected < 0 && !current.empty()) {
        selected = list->count();
        list->addItem(QStringLiteral("%1 (not present)").arg(QString::fromStdString(current)),
                      QString::fromStdString(current));
    }
    // None stored: the sound server's default.
    list->setCurrentIndex(selected < 0 && list->count() > 0 ? 0 : selected);
}

QString Number(double value) {
    return QString::number(value, 'g', 10);
}

std::string Sentence(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text + ".";
}

}  // namespace

SoundDevices ListSoundDevices() {
    if (const SoundDeviceLister& lister = Lister())
        return lister();
    return {DefaultFirst(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput()),
            DefaultFirst(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput())};
}

void SetSoundDeviceLister(SoundDeviceLister lister) {
    Lister() = std::move(lister);
}

SoundDialog::SoundDialog(QWidget* owner, SoundSettings* settings)
    : settings_(settings), dialog_(BuildDialog(kSoundDialog, owner)) {
    if (!dialog_ || settings_ == nullptr)
        return;
    QObject::connect(dialog_.get(), &TemplateDialog::Command, dialog_.get(),
                     [this](int id) { OnCommand(id); });
    Fill();
}

SoundDialog::~SoundDialog() = default;

void SoundDialog::Fill() {
    const SoundSettings& s = *settings_;
    const SoundDevices devices = ListSoundDevices();
    FillDevices(dialog_->ItemAs<QComboBox>(IDC_SOUND_OUTPUT), devices.outputs, s.output);
    FillDevices(dialog_->ItemAs<QComboBox>(IDC_SOUND_INPUT), devices.inputs, s.input);
    dialog_->SetItemText(IDC_SOUND_MARK, Number(s.mark));
    dialog_->SetItemText(IDC_SOUND_SHIFT, Number(s.shift));
    dialog_->SetChecked(s.reverse ? IDC_SOUND_REVERSED : IDC_SOUND_NORMAL, true);
    dialog_->SetItemText(IDC_SOUND_LEAD_IN, Number(s.leadIn));
    dialog_->SetItemText(IDC_SOUND_TAIL, Number(s.tail));
    dialog_->SetChecked(s.ptt == PushToTalk::Rts   ? IDC_PTT_RTS
                        : s.ptt == PushToTalk::Dtr ? IDC_PTT_DTR
                                                   : IDC_PTT_NONE,
                        true);
    if (auto* ports = dialog_->ItemAs<QComboBox>(IDC_PTT_PORT)) {
        for (int n = 1; n <= kSerialPortCount; ++n)
            ports->addItem(QString::fromStdString(PortName(n)));
        ports->setCurrentIndex(s.pttPort >= 1 && s.pttPort <= kSerialPortCount ? s.pttPort - 1
                                                                               : -1);
        // The port matters only when one of its lines keys the transmitter.
        ports->setEnabled(s.ptt != PushToTalk::None);
    }
}

std::string SoundDialog::Read(SoundSettings& out) const {
    SoundSettings s = out;
    const auto device = [this](int id, std::string& field) {
        if (const auto* list = dialog_->ItemAs<QComboBox>(id); list && list->currentIndex() >= 0)
            field = list->currentData().toString().toStdString();
    };
    device(IDC_SOUND_OUTPUT, s.output);
    device(IDC_SOUND_INPUT, s.input);

    const struct {
        int id;
        double* field;
        const char* what;
    } numbers[] = {{IDC_SOUND_MARK, &s.mark, "The mark frequency must be a number of hertz."},
                   {IDC_SOUND_SHIFT, &s.shift, "The shift must be a number of hertz."},
                   {IDC_SOUND_LEAD_IN, &s.leadIn, "The lead-in must be a number of seconds."},
                   {IDC_SOUND_TAIL, &s.tail, "The tail must be a number of seconds."}};
    for (const auto& n : numbers) {
        bool ok = false;
        const double value = dialog_->ItemText(n.id).trimmed().toDouble(&ok);
        if (!ok)
            return n.what;
        *n.field = value;
    }
    s.reverse = dialog_->Checked(IDC_SOUND_REVERSED);

    // The modem's own limits first: the shift, the mark and the lead-in.
    ModemSettings modem;
    modem.mark = s.mark;
    modem.shift = s.shift;
    modem.reverse = s.reverse;
    modem.leadIn = s.leadIn;
    if (const std::string wrong = CheckSettings(modem); !wrong.empty())
        return Sentence(wrong);
    if (s.mark < kLowestToneHz || s.mark + s.shift > kHighestToneHz)
        return QStringLiteral("Both tones must lie between %1 and %2 Hz; these are %3 and %4 Hz.")
            .arg(kLowestToneHz)
            .arg(kHighestToneHz)
            .arg(s.mark)
            .arg(s.mark + s.shift)
            .toStdString();
    if (!(s.tail >= 0 && s.tail <= kLongestTail))
        return QStringLiteral("The tail must be between 0 and %1 seconds.")
            .arg(kLongestTail)
            .toStdString();

    s.ptt = dialog_->Checked(IDC_PTT_RTS)   ? PushToTalk::Rts
            : dialog_->Checked(IDC_PTT_DTR) ? PushToTalk::Dtr
                                            : PushToTalk::None;
    if (const auto* ports = dialog_->ItemAs<QComboBox>(IDC_PTT_PORT)) {
        if (ports->currentIndex() >= 0)
            s.pttPort = ports->currentIndex() + 1;
        else if (s.ptt != PushToTalk::None)
            return "Choose the serial port whose RTS or DTR keys the transmitter.";
    }
    out = s;
    return {};
}

void SoundDialog::OnCommand(int id) {
    switch (id) {
        case IDOK: {
            if (const std::string wrong = Read(*settings_); !wrong.empty()) {
                // Nothing was stored; the dialog stays for a correction.
                ShowMessage(dialog_.get(), QString::fromStdString(wrong), kSoundCaption,
                            MessageIcon::Warning);
                return;
            }
            dialog_->End(1);
            break;
        }
        case IDCANCEL:
            dialog_->End(0);
            break;
        case IDC_PTT_NONE:
        case IDC_PTT_RTS:
        case IDC_PTT_DTR:
            if (QWidget* ports = dialog_->Item(IDC_PTT_PORT))
                ports->setEnabled(id != IDC_PTT_NONE);
            break;
        default:
            break;
    }
}

int RunSoundDialog(QWidget* owner, SoundSettings* settings) {
    if (settings == nullptr)
        return 0;
    SoundDialog sound(owner, settings);
    if (sound.Dialog() == nullptr)
        return -1;
    return sound.Dialog()->exec();
}

}  // namespace tavirel
