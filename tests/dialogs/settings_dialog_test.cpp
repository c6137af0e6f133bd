#include "dialogs/settings_dialog.h"

#include <cerrno>

#include "dialogs/font_chooser.h"
#include "link/port.h"
#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

class SettingsDialogTest : public ::testing::Test, public test::FakeSettingsHost {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateLinkEvents(state));
        SetPortOpener([this](const std::string& name) -> std::unique_ptr<Port> {
            opened.push_back(name);
            if (portWorks)
                return std::make_unique<test::FakePort>();
            errno = EACCES;
            return nullptr;
        });
    }
    void TearDown() override {
        CloseConnection(&window);
        SetPortOpener(nullptr);
        SetFontChooser(nullptr);
    }

    TemplateDialog& Open() {  // without a modal loop
        settings = std::make_unique<SettingsDialog>(*this, &state);
        settings->Dialog()->show();
        return *settings->Dialog();
    }
    QComboBox* List(int id) { return settings->Dialog()->ItemAs<QComboBox>(id); }
    QAbstractButton* Button(int id) { return settings->Dialog()->ItemAs<QAbstractButton>(id); }
    void Click(int id) { Button(id)->click(); }
    void Choose(int id, const char* text) { List(id)->setCurrentIndex(List(id)->findText(text)); }
    QString Stored() const {
        return QString::asprintf("COM%d %u bits %d parity %d stop %d flow %d mode %d %d%d%d%d%d",
                                 state.portNumber, state.baudRate, state.byteSize, state.parity,
                                 state.stopBits, state.flowControl, int(CodeMode.load()),
                                 state.autoWrap, state.newLine, state.localEcho, state.useCnReceive,
                                 state.displayErrors.load());
    }

    std::unique_ptr<SettingsDialog> settings;
    bool portWorks = false;
    std::vector<std::string> opened;
};

TEST_F(SettingsDialogTest, ShowsTheRecordAndStoresTheChoicesAFontAtOnce) {
    TemplateDialog& d = Open();
    QStringList lists, checked, off;
    for (int id : {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS})
        lists << List(id)->currentText();
    for (int id : {549, 550, 551, 552, 553, 554, 556, 557, 1000, 1001, 1005, 555, 1, 2}) {
        if (Button(id)->isChecked())
            checked << d.ItemText(id);
        if (!Button(id)->isEnabled())
            off << d.ItemText(id);
    }
    // useCnReceive is 1, yet its box is clear.
    EXPECT_EQ(lists.join(' ') + " | " + checked.join(", ") + " | off: " + off.join(", "),
              "COM3 45 5 None 1.5 | Autowrap, Display Errors, BAUDOT"
              " | off: Use CN_RECEIVE Notifications, Done & Exit");
    // 17 rates: the table's 256k is not offered.
    EXPECT_EQ(List(IDC_BAUD)->count(), 17);
    EXPECT_EQ(List(IDC_BAUD)->itemText(16), "128k");

    Choose(IDC_PORT, "COM1");
    Choose(IDC_BAUD, "14.4k");
    Choose(IDC_DATA_BITS, "6");
    Choose(IDC_PARITY, "Even");
    Choose(IDC_STOP_BITS, "2");
    for (int id : {IDC_DTR_DSR, IDC_XON_XOFF, IDC_AUTOWRAP, IDC_LOCAL_ECHO, IDC_ASCII})
        Click(id);
    settings->ReadSettingsDialog();
    // Flow, mode, then wrap, new line, echo, notifications, errors.
    EXPECT_EQ(Stored(), "COM1 14400 bits 6 parity 2 stop 2 flow 5 mode 0 00101");

    Choose(IDC_PARITY, "Odd");
    Choose(IDC_STOP_BITS, "1.5");
    Click(IDC_TERMINAL);
    settings->ReadSettingsDialog();
    EXPECT_EQ(Stored(), "COM1 14400 bits 6 parity 1 stop 1 flow 5 mode 2 00101");

    // The record's colour has red in the low byte; a choice applies without a Save.
    state.textColour = 0x00336699;
    const std::string face = state.logFont.faceName;
    QFont chosen("Monospace");
    chosen.setPixelSize(17);
    std::optional<FontChoice> answer;
    SetFontChooser([&](QWidget*, const QFont&, const QColor& colour) {
        EXPECT_EQ(colour, QColor(0x99, 0x66, 0x33));
        return std::exchange(answer, FontChoice{chosen, QColor(0x10, 0x20, 0x30)});
    });
    Click(IDC_FONT);
    EXPECT_EQ(std::tuple(state.logFont.faceName, state.textColour, fontsApplied),
              std::tuple(face, 0x00336699u, 0));
    Click(IDC_FONT);
    EXPECT_EQ(std::tuple(state.logFont.faceName, state.logFont.height, state.textColour),
              std::tuple(std::string("Monospace"), -17, 0x00302010u));
    EXPECT_EQ(fontsApplied, 1);
    EXPECT_FALSE(d.Item(IDC_DONE)->isEnabled());
}

// Failed connects count over every opening; the fourth gives up and ends the
// dialog, a success starts the count again.
TEST_F(SettingsDialogTest, SaveConnectsUntilItGivesUpAndNeverWhileConnected) {
    TemplateDialog* d = &Open();
    Click(IDC_SAVE);
    Click(IDC_DONE);
    EXPECT_FALSE(d->isVisible());

    d = &Open();
    Click(IDC_SAVE);
    Click(IDC_SAVE);
    Click(IDC_SAVE);
    EXPECT_FALSE(d->isVisible());
    const QString failed = QStringLiteral(
        "W Tavirel by Quennick / Zeltor: Connection failed.\nPermission denied: your user must be "
        "in the dialout group (sudo adduser $USER dialout, then log in again).");
    EXPECT_EQ(
        log.shown,
        QStringList({failed, failed, failed,
                     "W Tavirel by Quennick / Zeltor: Something really wrong here, I quit."}));

    Open();
    Click(IDC_SAVE);
    EXPECT_EQ(log.shown.mid(4), QStringList{failed});
    portWorks = true;
    Choose(IDC_PORT, "COM5");
    Click(IDC_SAVE);
    EXPECT_EQ(ConnectRetryCount(), 0);
    EXPECT_EQ(opened, (std::vector<std::string>{"COM3", "COM3", "COM3", "COM3", "COM3", "COM5"}));

    Open();
    EXPECT_FALSE(List(IDC_PORT)->isEnabled());
    Click(IDC_SAVE);
    EXPECT_EQ(opened.size(), 6u);
    EXPECT_EQ(log.shown.size(), 5);
}

}  // namespace
}  // namespace tavirel
