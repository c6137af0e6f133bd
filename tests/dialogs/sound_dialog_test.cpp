#include "dialogs/sound_dialog.h"

#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

std::string Summary(const SoundSettings& s) {
    static const char* const kPtt[] = {"VOX", "RTS", "DTR"};
    return QString::asprintf("out %s in %s | %g %g %s | lead %g tail %g | %s COM%d",
                             s.output.c_str(), s.input.c_str(), s.mark, s.shift,
                             s.reverse ? "reversed" : "normal", s.leadIn, s.tail, kPtt[int(s.ptt)],
                             s.pttPort)
        .toStdString();
}

class SoundDialogTest : public ::testing::Test, public test::FakeSettingsHost {
  protected:
    void SetUp() override {
        SetSoundDeviceLister([] {
            return SoundDevices{
                {{"speakers", "Speakers"}, {"usb-out", "USB Audio"}, {"usb-out-2", "USB Audio"}},
                {{"mic", "Microphone"}}};
        });
    }
    void TearDown() override { SetSoundDeviceLister(nullptr); }

    TemplateDialog& Open() {
        sound = std::make_unique<SoundDialog>(nullptr, &settings);
        sound->Dialog()->show();
        return *sound->Dialog();
    }
    void Click(int id) { sound->Dialog()->ItemAs<QAbstractButton>(id)->click(); }
    QComboBox* List(int id) { return sound->Dialog()->ItemAs<QComboBox>(id); }

    SoundSettings settings;
    std::unique_ptr<SoundDialog> sound;
};

// OK stores what the fields say, or says what is wrong and stores nothing.
// An unplugged device stays chosen; none stored means the default.
TEST_F(SoundDialogTest, OkStoresOrRefusesCancelStoresNothingSettingsOpenIt) {
    const struct {
        const char *name, *output, *fields;  // the stored device; mark|shift|lead-in|tail
        int reversed, ptt, port;             // port: index in the list, -1 for none
        const char* result;                  // what is stored, or a part of the message shown
    } rows[] = {
        {"unplugged, low tones, wide shift, RTS", "usb-old", " 1275.5 |850|0.5|0", 1, IDC_PTT_RTS,
         3, "out usb-old in mic | 1275.5 850 reversed | lead 0.5 tail 0 | RTS COM4"},
        {"default device, DTR of COM8, the band's edges", "", "300|2000|60|60", 0, IDC_PTT_DTR, 7,
         "out speakers in mic | 300 2000 normal | lead 60 tail 60 | DTR COM8"},
        {"empty tail", "", "2125|170|1|", 0, IDC_PTT_NONE, 0, "tail must be a number"},
        {"shift too narrow", "", "2125|10|1|0", 0, IDC_PTT_NONE, 0, "shift must be between"},
        {"upper tone above 3 kHz", "", "2900|170|1|0", 0, IDC_PTT_NONE, 0, "2900 and 3070 Hz"},
        {"lower tone below 300 Hz", "", "250|170|1|0", 1, IDC_PTT_NONE, 0, "250 and 420 Hz"},
        {"lead-in too long", "", "2125|170|61|0", 0, IDC_PTT_NONE, 0, "lead-in must be between"},
        {"not a number at all", "", "nan|170|1|0", 0, IDC_PTT_NONE, 0, "100 Hz or more"},
        {"tail too long", "", "2125|170|1|61", 0, IDC_PTT_NONE, 0, "tail must be between"},
        {"RTS of no port", "", "2125|170|1|0", 0, IDC_PTT_RTS, -1, "Choose the serial port"},
    };
    for (const auto& r : rows) {
        settings = SoundSettings{};
        settings.output = r.output;
        const std::string before = Summary(settings);
        TemplateDialog& d = Open();
        const QStringList fields = QString(r.fields).split('|');
        const int ids[] = {IDC_SOUND_MARK, IDC_SOUND_SHIFT, IDC_SOUND_LEAD_IN, IDC_SOUND_TAIL};
        for (int i = 0; i < 4; ++i)
            d.SetItemText(ids[i], fields[i]);
        Click(r.reversed ? IDC_SOUND_REVERSED : IDC_SOUND_NORMAL);
        Click(r.ptt);
        EXPECT_EQ(List(IDC_PTT_PORT)->isEnabled(), r.ptt != IDC_PTT_NONE) << r.name;
        List(IDC_PTT_PORT)->setCurrentIndex(r.port);
        log.shown.clear();
        Click(IDOK);
        const bool refused = !log.shown.isEmpty();
        EXPECT_EQ(d.isVisible(), refused) << r.name;
        EXPECT_EQ(Summary(settings), refused ? before : r.result) << r.name;
        EXPECT_TRUE(!refused || log.shown.join('|').contains(r.result)) << r.name;
    }

    // Devices are shown by name (alike ones with their ids), the default
    // first; the stored one is chosen. Cancel stores nothing.
    settings.output = "usb-out-2";
    const std::string before = Summary(settings);
    Open().SetItemText(IDC_SOUND_MARK, "1000");
    EXPECT_EQ(test::Entries(List(IDC_SOUND_OUTPUT)) + " > " + List(IDC_SOUND_OUTPUT)->currentText(),
              "Speakers|USB Audio (usb-out)|USB Audio (usb-out-2) > USB Audio (usb-out-2)");
    List(IDC_SOUND_OUTPUT)->setCurrentIndex(0);
    Click(IDCANCEL);
    EXPECT_EQ(std::pair(Summary(settings), sound->Dialog()->isVisible()), std::pair(before, false));

    // The Settings dialog's Sound... button is there only while the sound card
    // (after COM8) is chosen, and opens this dialog on the record's settings.
    const struct {
        int stored, chosen, enabled, portNumber;  // chosen -1: none; enabled: Sound... after
    } ports[] = {{3, -1, 0, 3}, {9, 0, 0, 1}, {9, -1, 1, 9}, {3, 8, 1, 9}};
    std::optional<SettingsDialog> dialog;  // the last on the sound card
    for (const auto& r : ports) {
        state.portNumber = static_cast<std::uint8_t>(r.stored);
        dialog.emplace(*this, &state);
        if (r.chosen >= 0)
            dialog->Dialog()->ItemAs<QComboBox>(IDC_PORT)->setCurrentIndex(r.chosen);
        EXPECT_EQ(dialog->Dialog()->Item(IDC_SOUND)->isEnabled(), r.enabled != 0) << r.stored;
        dialog->ReadSettingsDialog();
        EXPECT_EQ(state.portNumber, r.portNumber) << r.stored;
    }
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->SetItemText(IDC_SOUND_MARK, "1500");
        d->ItemAs<QAbstractButton>(IDOK)->click();
    });
    dialog->Dialog()->ItemAs<QAbstractButton>(IDC_SOUND)->click();
    EXPECT_EQ(state.sound.mark, 1500.0);
}

}  // namespace
}  // namespace tavirel
