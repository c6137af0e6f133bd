#include "dialogs/sound_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include "dialogs/dialog_builder.h"
#include "dialogs/settings_dialog.h"
#include "link/connection.h"
#include "link/tty_state.h"
#include "tests/support/fake_window.h"
#include "tests/support/message_log.h"

namespace tavirel {
namespace {

QString Summary(const SoundSettings& s) {
    static const char* const kPtt[] = {"VOX", "RTS", "DTR"};
    return QStringLiteral("out %1 in %2 | %3 %4 %5 | lead %6 tail %7 | %8 COM%9")
        .arg(QString::fromStdString(s.output), QString::fromStdString(s.input))
        .arg(s.mark)
        .arg(s.shift)
        .arg(s.reverse ? "reversed" : "normal")
        .arg(s.leadIn)
        .arg(s.tail)
        .arg(kPtt[int(s.ptt)])
        .arg(s.pttPort);
}

class SoundDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSoundDeviceLister([] {
            return SoundDevices{{{"speakers", "Built-in Speakers"},
                                 {"usb-out", "USB Audio"},
                                 {"usb-out-2", "USB Audio"}},
                                {{"mic", "Built-in Microphone"}, {"usb-in", "USB Audio"}}};
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
    test::MessageLog log;
};

struct EntryRow {
    const char* name;
    const char *mark, *shift, *leadIn, *tail;
    int tones;           // IDC_SOUND_NORMAL or IDC_SOUND_REVERSED
    int ptt;             // IDC_PTT_NONE, _RTS, _DTR
    int port;            // index in the list, -1 for none
    const char* result;  // what is stored, or the message shown
};

// OK stores what the fields say, or says what is wrong and stores nothing.
TEST_F(SoundDialogTest, OkStoresTheFieldsOrRefusesWithAMessage) {
    const EntryRow rows[] = {
        {"as they come", "2125", "170", "1", "0.25", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "out speakers in mic | 2125 170 normal | lead 1 tail 0.25 | VOX COM1"},
        {"low tones, wide shift, RTS", " 1275.5 ", "850", "0.5", "0", IDC_SOUND_REVERSED,
         IDC_PTT_RTS, 3, "out speakers in mic | 1275.5 850 reversed | lead 0.5 tail 0 | RTS COM4"},
        {"DTR of COM8, at the band's edges", "300", "2000", "60", "60", IDC_SOUND_NORMAL,
         IDC_PTT_DTR, 7, "out speakers in mic | 300 2000 normal | lead 60 tail 60 | DTR COM8"},
        {"mark not a number", "21x5", "170", "1", "0", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "The mark frequency must be a number of hertz."},
        {"empty tail", "2125", "170", "1", "", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "The tail must be a number of seconds."},
        {"shift too narrow", "2125", "10", "1", "0", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "The shift must be between 20 and 2000 Hz."},
        {"upper tone above 3 kHz", "2900", "170", "1", "0", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "Both tones must lie between 300 and 3000 Hz; these are 2900 and 3070 Hz."},
        {"lower tone below 300 Hz", "250", "170", "1", "0", IDC_SOUND_REVERSED, IDC_PTT_NONE, 0,
         "Both tones must lie between 300 and 3000 Hz; these are 250 and 420 Hz."},
        {"lead-in below zero", "2125", "170", "-1", "0", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "The lead-in must be between 0 and 60 seconds."},
        {"tail too long", "2125", "170", "1", "61", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "The tail must be between 0 and 60 seconds."},
        {"not a number at all", "nan", "170", "1", "0", IDC_SOUND_NORMAL, IDC_PTT_NONE, 0,
         "The mark tone must be 100 Hz or more."},
        {"RTS of no port", "2125", "170", "1", "0", IDC_SOUND_NORMAL, IDC_PTT_RTS, -1,
         "Choose the serial port whose RTS or DTR keys the transmitter."},
    };
    for (const EntryRow& r : rows) {
        settings = SoundSettings{};
        const QString before = Summary(settings);
        TemplateDialog& d = Open();
        d.SetItemText(IDC_SOUND_MARK, r.mark);
        d.SetItemText(IDC_SOUND_SHIFT, r.shift);
        d.SetItemText(IDC_SOUND_LEAD_IN, r.leadIn);
        d.SetItemText(IDC_SOUND_TAIL, r.tail);
        Click(r.tones);
        Click(r.ptt);
        EXPECT_EQ(List(IDC_PTT_PORT)->isEnabled(), r.ptt != IDC_PTT_NONE) << r.name;
        List(IDC_PTT_PORT)->setCurrentIndex(r.port);
        log.shown.clear();
        Click(IDOK);
        if (log.shown.isEmpty()) {
            EXPECT_FALSE(d.isVisible()) << r.name;
            EXPECT_EQ(Summary(settings), r.result) << r.name;
        } else {
            EXPECT_TRUE(d.isVisible()) << r.name;
            EXPECT_EQ(log.shown, QStringList{QStringLiteral("W Sound Card: ") + r.result})
                << r.name;
            EXPECT_EQ(Summary(settings), before) << r.name;
        }
    }
}

struct DeviceRow {
    const char* name;
    const char* stored;
    int choose;  // -1 leaves the selection
    const char* offered;
    const char* result;
};

// Devices are shown by name (alike ones with their ids), the default first,
// and stored by id; one that is gone stays chosen until another is.
TEST_F(SoundDialogTest, DevicesByNameStoredById) {
    const DeviceRow rows[] = {
        {"none stored: the default", "", -1,
         "Built-in Speakers|USB Audio (usb-out)|USB Audio (usb-out-2)", "speakers"},
        {"stored and present", "usb-out", -1,
         "Built-in Speakers|USB Audio (usb-out)|USB Audio (usb-out-2)", "usb-out"},
        {"another chosen", "usb-out", 0,
         "Built-in Speakers|USB Audio (usb-out)|USB Audio (usb-out-2)", "speakers"},
        {"unplugged", "usb-old", -1,
         "Built-in Speakers|USB Audio (usb-out)|USB Audio (usb-out-2)|usb-old (not present)",
         "usb-old"},
    };
    for (const DeviceRow& r : rows) {
        settings = SoundSettings{};
        settings.output = r.stored;
        Open();
        QStringList offered;
        for (int i = 0; i < List(IDC_SOUND_OUTPUT)->count(); ++i)
            offered << List(IDC_SOUND_OUTPUT)->itemText(i);
        EXPECT_EQ(offered.join('|'), r.offered) << r.name;
        if (r.choose >= 0)
            List(IDC_SOUND_OUTPUT)->setCurrentIndex(r.choose);
        Click(IDOK);
        EXPECT_EQ(settings.output, r.result) << r.name;
        EXPECT_EQ(settings.input, "mic") << r.name;
    }
}

// Cancel, Escape and the close box leave the settings as they were.
TEST_F(SoundDialogTest, CancelLeavesTheSettings) {
    for (const int how : {0, 1, 2}) {
        settings.output = "usb-out";
        TemplateDialog& d = Open();
        d.SetItemText(IDC_SOUND_MARK, "1000");
        List(IDC_SOUND_OUTPUT)->setCurrentIndex(0);
        Click(IDC_PTT_DTR);
        if (how == 0)
            Click(IDCANCEL);
        else if (how == 1)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        EXPECT_FALSE(d.isVisible()) << how;
        EXPECT_EQ(d.result(), 0) << how;
        EXPECT_EQ(Summary(settings),
                  "out usb-out in  | 2125 170 normal | lead 1 tail 0.25 | VOX COM1")
            << how;
    }
}

// The Settings dialog offers the sound card after COM8, and its Sound...
// button only while that entry is chosen; the button opens the Sound dialog
// on the record's sound settings.
class SettingsSoundEntryTest : public ::testing::Test, public SettingsHost {
  protected:
    QWidget* Owner() override { return &owner; }
    TerminalWindow* Terminal() override { return &window; }
    bool ConnectItemEnabled() override { return false; }
    void ApplyTerminalFont() override {}

    QWidget owner;
    TtyState state;
    test::FakeWindow window{&state};
};

TEST_F(SettingsSoundEntryTest, SoundButtonFollowsTheEntryAndOpensTheSoundDialog) {
    SetSoundDeviceLister([] { return SoundDevices{}; });
    const struct {
        int stored;      // the record's port
        int chosen;      // then chosen in the list
        bool enabled;    // Sound... afterwards
        int portNumber;  // stored by the dialog
    } rows[] = {{3, -1, false, 3}, {9, -1, true, 9}, {3, 8, true, 9}, {9, 0, false, 1}};
    for (const auto& r : rows) {
        state.portNumber = static_cast<std::uint8_t>(r.stored);
        SettingsDialog settings(*this, &state);
        auto* ports = settings.Dialog()->ItemAs<QComboBox>(IDC_PORT);
        ASSERT_EQ(ports->count(), 9);
        EXPECT_EQ(ports->itemText(8), "Sound card");
        if (r.chosen >= 0)
            ports->setCurrentIndex(r.chosen);
        EXPECT_EQ(settings.Dialog()->Item(IDC_SOUND)->isEnabled(), r.enabled) << r.stored;
        settings.ReadSettingsDialog();
        EXPECT_EQ(state.portNumber, r.portNumber) << r.stored;
    }

    SettingsDialog settings(*this, &state);
    ASSERT_EQ(state.portNumber, 1);
    settings.Dialog()->ItemAs<QComboBox>(IDC_PORT)->setCurrentIndex(8);
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->SetItemText(IDC_SOUND_MARK, "1500");
        d->ItemAs<QAbstractButton>(IDOK)->click();
    });
    settings.Dialog()->ItemAs<QAbstractButton>(IDC_SOUND)->click();
    EXPECT_EQ(state.sound.mark, 1500.0);
    SetSoundDeviceLister(nullptr);
}

}  // namespace
}  // namespace tavirel
