#include "dialogs/settings_dialog.h"

#include <QComboBox>
#include <QString>
#include <optional>

#include "dialogs/dialog_builder.h"
#include "dialogs/font_chooser.h"
#include "dialogs/message_box.h"
#include "dialogs/sound_dialog.h"
#include "dialogs/terminal_font.h"
#include "link/connection.h"
#include "link/port.h"
#include "link/tty_state.h"
#include "resources/strings.h"

namespace tavirel {

namespace {

QString ResourceText(int id) {
    const char* s = LoadResourceString(id);
    return QString::fromLatin1(s ? s : "");
}

}  // namespace

std::int32_t& ConnectRetryCount() {
    static std::int32_t count = 0;
    return count;
}

SettingsDialog::SettingsDialog(SettingsHost& host, TtyState* state)
    : host_(host), state_(state), dialog_(BuildDialog(kSettingsDialog, host.Owner())) {
    if (!dialog_)
        return;
    QObject::connect(dialog_.get(), &TemplateDialog::Command, dialog_.get(),
                     [this](int id) { OnCommand(id); });
    // Leaving is allowed only once the settings have been saved.
    Enable(IDC_DONE, false);
    FillSettingsDialog();
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::Enable(int id, bool enabled) {
    if (QWidget* item = dialog_->Item(id))
        item->setEnabled(enabled);
}

void SettingsDialog::FillValueCombo(QComboBox* list, int firstStringId,
                                    std::span<const std::uint32_t> table, std::uint32_t current) {
    if (list == nullptr)
        return;
    // A drop-down list selects its first item by itself; the record's value
    // decides alone, and the last match wins.
    int selected = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        list->addItem(ResourceText(firstStringId + static_cast<int>(i)), table[i]);
        if (table[i] == current)
            selected = static_cast<int>(i);
    }
    list->setCurrentIndex(selected);
}

void SettingsDialog::FillSettingsDialog() {
    if (!dialog_ || state_ == nullptr)
        return;
    TtyState& s = *state_;

    if (auto* ports = dialog_->ItemAs<QComboBox>(IDC_PORT)) {
        // COM1 to COM8, then the sound card.
        for (int i = 1; i <= kSoundCardPort; ++i)
            ports->addItem(QString::fromStdString(PortName(i)));
        // The sound card's own settings are a button away while it is chosen.
        const auto soundChosen = [this](int index) {
            Enable(IDC_SOUND, index == kSoundCardPort - 1);
        };
        QObject::connect(ports, &QComboBox::currentIndexChanged, dialog_.get(), soundChosen);
        ports->setCurrentIndex(
            s.portNumber >= 1 && s.portNumber <= kSoundCardPort ? s.portNumber - 1 : -1);
        soundChosen(ports->currentIndex());
        // The port of an open line cannot change under it.
        ports->setEnabled(s.connected.load() == 0);
    }

    FillValueCombo(dialog_->ItemAs<QComboBox>(IDC_BAUD), kStringFirstBaud, BaudRateTable,
                   s.baudRate);

    if (auto* bits = dialog_->ItemAs<QComboBox>(IDC_DATA_BITS)) {
        for (int i = 0; i < kDataBitsChoices; ++i)
            bits->addItem(QString::asprintf("%d", i + kFirstDataBits));
        const int index = s.byteSize - kFirstDataBits;
        bits->setCurrentIndex(index >= 0 && index < kDataBitsChoices ? index : -1);
    }

    FillValueCombo(dialog_->ItemAs<QComboBox>(IDC_PARITY), kStringFirstParity, ParityTable,
                   s.parity);
    FillValueCombo(dialog_->ItemAs<QComboBox>(IDC_STOP_BITS), kStringFirstStopBits, StopBitsTable,
                   s.stopBits);

    dialog_->SetChecked(IDC_DTR_DSR, (s.flowControl & kFlowDtrDsr) != 0);
    dialog_->SetChecked(IDC_RTS_CTS, (s.flowControl & kFlowRtsCts) != 0);
    dialog_->SetChecked(IDC_XON_XOFF, (s.flowControl & kFlowXonXoff) != 0);
    dialog_->SetChecked(IDC_AUTOWRAP, s.autoWrap != 0);
    dialog_->SetChecked(IDC_NEW_LINE, s.newLine != 0);
    dialog_->SetChecked(IDC_LOCAL_ECHO, s.localEcho != 0);
    // Notifications are not offered here: the box stays clear whatever the
    // record holds, and Save stores it clear.
    Enable(IDC_CN_RECEIVE, false);
    dialog_->SetChecked(IDC_DISPLAY_ERRORS, s.displayErrors.load() != 0);

    int mode = 0;
    switch (CodeMode.load()) {
        case ModeAscii:
            mode = IDC_ASCII;
            break;
        case ModeBaudot:
            mode = IDC_BAUDOT;
            break;
        case ModeTerminal:
            mode = IDC_TERMINAL;
            break;
    }
    // Checking first: the checked radio of a group cannot be cleared.
    if (mode != 0)
        dialog_->SetChecked(mode, true);
    for (const int id : {IDC_BAUDOT, IDC_ASCII, IDC_TERMINAL}) {
        if (id != mode)
            dialog_->SetChecked(id, false);
    }
}

void SettingsDialog::ReadSettingsDialog() {
    if (!dialog_ || state_ == nullptr)
        return;
    TtyState& s = *state_;
    // Index -1: nothing chosen, so the record keeps what it has.
    const auto selection = [this](int id) {
        const auto* list = dialog_->ItemAs<QComboBox>(id);
        return list ? list->currentIndex() : -1;
    };
    const auto selectedValue = [this](int id) -> std::optional<std::uint32_t> {
        const auto* list = dialog_->ItemAs<QComboBox>(id);
        if (list == nullptr || list->currentIndex() < 0)
            return std::nullopt;
        return list->currentData().toUInt();
    };

    if (const int i = selection(IDC_PORT); i >= 0)
        s.portNumber = static_cast<std::uint8_t>(i + 1);
    if (const auto v = selectedValue(IDC_BAUD))
        s.baudRate = *v;
    if (const int i = selection(IDC_DATA_BITS); i >= 0)
        s.byteSize = static_cast<std::uint8_t>(i + kFirstDataBits);
    if (const auto v = selectedValue(IDC_PARITY))
        s.parity = static_cast<std::uint8_t>(*v & 0xFF);
    if (const auto v = selectedValue(IDC_STOP_BITS))
        s.stopBits = static_cast<std::uint8_t>(*v & 0xFF);

    s.flowControl = static_cast<std::uint8_t>((dialog_->Checked(IDC_DTR_DSR) ? kFlowDtrDsr : 0) |
                                              (dialog_->Checked(IDC_RTS_CTS) ? kFlowRtsCts : 0) |
                                              (dialog_->Checked(IDC_XON_XOFF) ? kFlowXonXoff : 0));
    // Terminal is what is left when neither of the other two is chosen.
    CodeMode = dialog_->Checked(IDC_BAUDOT)  ? ModeBaudot
               : dialog_->Checked(IDC_ASCII) ? ModeAscii
                                             : ModeTerminal;
    s.autoWrap = dialog_->Checked(IDC_AUTOWRAP) ? 1 : 0;
    s.newLine = dialog_->Checked(IDC_NEW_LINE) ? 1 : 0;
    s.localEcho = dialog_->Checked(IDC_LOCAL_ECHO) ? 1 : 0;
    s.useCnReceive = dialog_->Checked(IDC_CN_RECEIVE) ? 1 : 0;
    s.displayErrors = dialog_->Checked(IDC_DISPLAY_ERRORS) ? 1 : 0;
}

void SettingsDialog::Save() {
    if (!dialog_ || state_ == nullptr)
        return;
    ReadSettingsDialog();
    if (host_.ConnectItemEnabled()) {
        std::int32_t& retries = ConnectRetryCount();
        OpenFailure failure;
        if (OpenConnection(host_.Terminal(), &failure) != 0) {
            retries = 0;
        } else if (retries >= kConnectRetries) {
            ShowMessage(dialog_.get(), kGivingUp, kSettingsCaption, MessageIcon::Warning);
            dialog_->End(1);
            retries = 0;
            return;
        } else {
            ShowMessage(dialog_.get(), QString::fromStdString(ConnectionFailedText(failure)),
                        kSettingsCaption, MessageIcon::Warning);
            ++retries;
        }
    }
    Enable(IDC_DONE, true);
}

bool SettingsDialog::ChooseTerminalFont() {
    if (!dialog_ || state_ == nullptr)
        return false;
    const std::optional<FontChoice> choice = ChooseFontAndColour(
        dialog_.get(), FontFromLogFont(state_->logFont), ColorFromRef(state_->textColour));
    if (!choice)
        return false;
    state_->logFont = LogFontFromFont(choice->font, state_->logFont);
    state_->textColour = RefFromColor(choice->colour);
    // The screen follows at once, whether or not Save comes.
    host_.ApplyTerminalFont();
    return true;
}

void SettingsDialog::OnCommand(int id) {
    switch (id) {
        case IDC_SAVE:
            Save();
            break;
        case IDC_DONE:
            dialog_->End(1);
            break;
        case IDC_FONT:
            ChooseTerminalFont();
            break;
        case IDC_SOUND:
            RunSoundDialog(dialog_.get(), &state_->sound);
            break;
        default:
            break;
    }
}

int RunSettingsDialog(SettingsHost& host, TtyState* state) {
    if (state == nullptr)
        return 0;
    SettingsDialog settings(host, state);
    if (settings.Dialog() == nullptr)
        return -1;
    return settings.Dialog()->exec();
}

}  // namespace tavirel
