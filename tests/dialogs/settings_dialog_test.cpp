#include "dialogs/settings_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/dialog_builder.h"
#include "dialogs/terminal_font.h"
#include "link/connection.h"
#include "link/port.h"
#include "link/tty_state.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

class FakeHost : public SettingsHost {
  public:
    explicit FakeHost(TtyState* state) : window(state) {}
    QWidget* Owner() override { return &owner; }
    TerminalWindow* Terminal() override { return &window; }
    // The Connect item follows the connection, as the main window's does.
    bool ConnectItemEnabled() override {
        const std::vector<bool> rows = window.MenuRows();
        return rows.empty() || !rows.back();
    }
    void ApplyTerminalFont() override { ++fontsApplied; }

    QWidget owner;
    test::FakeWindow window;
    int fontsApplied = 0;
};

constexpr int kLists[] = {IDC_PORT, IDC_BAUD, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};
constexpr int kButtons[] = {549, 550, 551, 552, 553, 554, 556, 557, 1000, 1001, 1005, 555, 1, 2};

class SettingsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateLinkEvents(state));
        CodeMode = ModeBaudot;
        ConnectRetryCount() = 0;
        SetMessageHandler([this](QWidget*, const QString& text, const QString& caption,
                                 MessageIcon icon, MessageButtons) {
            messages << text;
            EXPECT_EQ(caption, QString("Tavirel by Quennick / Zeltor"));
            EXPECT_EQ(icon, MessageIcon::Warning);
            return IDOK;
        });
        SetPortOpener([this](const std::string& name) -> std::unique_ptr<Port> {
            opened.push_back(name);
            return portWorks ? std::make_unique<test::FakePort>() : nullptr;
        });
    }
    void TearDown() override {
        CloseConnection(&host.window);
        SetPortOpener(nullptr);
        SetMessageHandler(nullptr);
        SetFontChooser(nullptr);
        CodeMode = savedMode_;
        ConnectRetryCount() = savedRetries_;
    }

    // Shown without a modal loop; null (and a failure) when a control is missing.
    std::unique_ptr<SettingsDialog> Open() {
        auto s = std::make_unique<SettingsDialog>(host, &state);
        bool complete = s->Dialog() != nullptr;
        for (int id : kLists)
            complete = complete && s->Dialog()->ItemAs<QComboBox>(id) != nullptr;
        for (int id : kButtons)
            complete = complete && s->Dialog()->ItemAs<QAbstractButton>(id) != nullptr;
        if (!complete) {
            ADD_FAILURE() << "template 101 lacks a control";
            return nullptr;
        }
        s->Dialog()->show();
        return s;
    }
    static QComboBox* List(SettingsDialog& s, int id) { return s.Dialog()->ItemAs<QComboBox>(id); }
    static QAbstractButton* Button(SettingsDialog& s, int id) {
        return s.Dialog()->ItemAs<QAbstractButton>(id);
    }
    static void Choose(SettingsDialog& s, int id, const char* text) {
        const int index = List(s, id)->findText(text);
        ASSERT_GE(index, 0) << text;
        List(s, id)->setCurrentIndex(index);
    }
    // The five selections ("-" for none), then the checked and the disabled
    // controls by name.
    static QString Shown(SettingsDialog& s) {
        QStringList lists, checked, disabled;
        for (int id : kLists) {
            lists << (List(s, id)->currentIndex() < 0 ? "-" : List(s, id)->currentText());
            if (!List(s, id)->isEnabled())
                disabled << QString::number(id);
        }
        for (int id : kButtons) {
            if (Button(s, id)->isChecked())
                checked << s.Dialog()->ItemText(id);
            if (!Button(s, id)->isEnabled())
                disabled << s.Dialog()->ItemText(id);
        }
        return lists.join(' ') + " | " + checked.join(", ") + " | off: " + disabled.join(", ");
    }
    QString Stored() const {
        return QString::asprintf(
            "COM%d %u bits %d parity %d stop %d flow %d mode %d wrap/nl/echo/cn/err %d%d%d%d%d",
            state.portNumber, state.baudRate, state.byteSize, state.parity, state.stopBits,
            state.flowControl, static_cast<int>(CodeMode.load()), state.autoWrap, state.newLine,
            state.localEcho, state.useCnReceive, state.displayErrors.load());
    }

    TtyState state;
    FakeHost host{&state};
    bool portWorks = false;
    std::vector<std::string> opened;
    QStringList messages;

  private:
    CodeModeValue savedMode_ = CodeMode.load();
    std::int32_t savedRetries_ = ConnectRetryCount();
};

TEST_F(SettingsDialogTest, FreshRecordShowsTheDefaultsAndNeedsASaveToLeave) {
    auto s = Open();
    ASSERT_TRUE(s);
    // useCnReceive is 1, yet its box is clear.
    EXPECT_EQ(Shown(*s),
              "COM3 45 5 None 1.5 | Autowrap, Display Errors, BAUDOT"
              " | off: Use CN_RECEIVE Notifications, Done & Exit");
    Button(*s, IDC_DONE)->click();
    emit s->Dialog()->Command(999);
    EXPECT_TRUE(s->Dialog()->isVisible());
}

TEST_F(SettingsDialogTest, ListsHoldTheTablesInOrder) {
    auto s = Open();
    ASSERT_TRUE(s);
    const auto texts = [&](int id) {
        QStringList all;
        for (int i = 0; i < List(*s, id)->count(); ++i)
            all << List(*s, id)->itemText(i);
        return all.join(' ');
    };
    EXPECT_EQ(texts(IDC_PORT), "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8");
    EXPECT_EQ(texts(IDC_BAUD),
              "45 50 57 74 100 110 300 600 1200 2400 4800 9600 14.4k 19.2k 38.4k 56k 128k");
    EXPECT_EQ(texts(IDC_DATA_BITS), "5 6 7 8");
    EXPECT_EQ(texts(IDC_PARITY), "None Even Odd Mark Space");
    EXPECT_EQ(texts(IDC_STOP_BITS), "1 1.5 2");
    EXPECT_EQ(List(*s, IDC_BAUD)->itemData(16).toUInt(), 128000u);
    EXPECT_EQ(List(*s, IDC_BAUD)->itemData(12).toUInt(), 14400u);
}

TEST_F(SettingsDialogTest, ShowsTheRecordAndStoresTheChoices) {
    state.portNumber = 8;
    state.baudRate = 9600;
    state.byteSize = 8;
    state.parity = 1;
    state.stopBits = 2;
    state.flowControl = kFlowRtsCts;
    state.autoWrap = 0;
    state.newLine = 1;
    state.displayErrors = 0;
    CodeMode = ModeTerminal;
    auto s = Open();
    ASSERT_TRUE(s);
    EXPECT_EQ(Shown(*s),
              "COM8 9600 8 Odd 2 | RTS/CTS, New Line, Terminal (std)"
              " | off: Use CN_RECEIVE Notifications, Done & Exit");

    Choose(*s, IDC_PORT, "COM1");
    Choose(*s, IDC_BAUD, "14.4k");
    Choose(*s, IDC_DATA_BITS, "6");
    Choose(*s, IDC_PARITY, "Even");
    Choose(*s, IDC_STOP_BITS, "1.5");
    for (int id : {IDC_DTR_DSR, IDC_XON_XOFF, IDC_LOCAL_ECHO, IDC_DISPLAY_ERRORS, IDC_ASCII})
        Button(*s, id)->click();
    s->ReadSettingsDialog();
    EXPECT_EQ(Stored(),
              "COM1 14400 bits 6 parity 2 stop 1 flow 7 mode 0 wrap/nl/echo/cn/err 01101");

    Choose(*s, IDC_PARITY, "Odd");
    Button(*s, IDC_TERMINAL)->click();
    s->ReadSettingsDialog();
    EXPECT_EQ(state.parity, 1);
    EXPECT_EQ(CodeMode.load(), ModeTerminal);
    Button(*s, IDC_BAUDOT)->click();
    s->ReadSettingsDialog();
    EXPECT_EQ(CodeMode.load(), ModeBaudot);
}

TEST_F(SettingsDialogTest, ValuesNoListOffersAreShownUnselectedAndKept) {
    state.portNumber = 9;
    state.baudRate = 256000;
    state.byteSize = 4;
    state.parity = 7;
    state.stopBits = 3;
    CodeMode = ModeAscii;
    auto s = Open();
    ASSERT_TRUE(s);
    EXPECT_TRUE(Shown(*s).startsWith("- - - - - | Autowrap, Display Errors, ASCII |"));
    s->ReadSettingsDialog();
    EXPECT_EQ(Stored(),
              "COM9 256000 bits 4 parity 7 stop 3 flow 0 mode 0 wrap/nl/echo/cn/err 10001");
}

TEST_F(SettingsDialogTest, FailedConnectsGiveUpAtTheFourthSaveCountingAcrossOpenings) {
    auto first = Open();
    ASSERT_TRUE(first);
    Button(*first, IDC_SAVE)->click();
    EXPECT_EQ(state.useCnReceive, 0);
    EXPECT_TRUE(Button(*first, IDC_DONE)->isEnabled());
    Button(*first, IDC_DONE)->click();
    EXPECT_FALSE(first->Dialog()->isVisible());
    EXPECT_EQ(first->Dialog()->result(), 1);

    auto second = Open();
    ASSERT_TRUE(second);
    Button(*second, IDC_SAVE)->click();
    Button(*second, IDC_SAVE)->click();
    EXPECT_TRUE(second->Dialog()->isVisible());
    Button(*second, IDC_SAVE)->click();
    EXPECT_FALSE(second->Dialog()->isVisible());
    EXPECT_EQ(second->Dialog()->result(), 1);
    EXPECT_EQ(messages.join('/'),
              "Connection failed./Connection failed./Connection failed./"
              "Something really wrong here, I quit.");
    EXPECT_EQ(opened, std::vector<std::string>(4, "COM3"));

    // Giving up starts the count again.
    auto third = Open();
    ASSERT_TRUE(third);
    Button(*third, IDC_SAVE)->click();
    EXPECT_EQ(messages.size(), 5);
    EXPECT_EQ(messages.back(), "Connection failed.");
    EXPECT_TRUE(third->Dialog()->isVisible());
}

TEST_F(SettingsDialogTest, SaveConnectsOnceAndNeverWhileConnected) {
    ConnectRetryCount() = 2;
    portWorks = true;
    auto s = Open();
    ASSERT_TRUE(s);
    Choose(*s, IDC_PORT, "COM5");
    Button(*s, IDC_SAVE)->click();
    EXPECT_EQ(state.connected.load(), 1);
    EXPECT_EQ(opened, std::vector<std::string>{"COM5"});
    EXPECT_EQ(ConnectRetryCount(), 0);
    EXPECT_TRUE(s->Dialog()->isVisible());
    EXPECT_TRUE(Button(*s, IDC_DONE)->isEnabled());
    Button(*s, IDC_DONE)->click();

    state.useCnReceive = 1;
    auto again = Open();
    ASSERT_TRUE(again);
    EXPECT_FALSE(List(*again, IDC_PORT)->isEnabled());
    Button(*again, IDC_SAVE)->click();
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(state.useCnReceive, 0);
    EXPECT_TRUE(Button(*again, IDC_DONE)->isEnabled());
}

TEST_F(SettingsDialogTest, FontChoiceStartsFromTheRecordAndAppliesOnlyOnConfirm) {
    state.textColour = 0x00336699;
    const LogFont before = state.logFont;
    QWidget* seenParent = nullptr;
    QFont seenFont;
    QColor seenColour;
    std::optional<FontChoice> answer;
    SetFontChooser([&](QWidget* parent, const QFont& font, const QColor& colour) {
        seenParent = parent;
        seenFont = font;
        seenColour = colour;
        return answer;
    });
    auto s = Open();
    ASSERT_TRUE(s);
    Button(*s, IDC_FONT)->click();
    EXPECT_EQ(seenParent, s->Dialog());
    EXPECT_EQ(seenFont, FontFromLogFont(before));
    EXPECT_EQ(seenColour, QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(state.logFont.faceName, before.faceName);
    EXPECT_EQ(state.textColour, 0x00336699u);
    EXPECT_EQ(host.fontsApplied, 0);

    QFont chosen("Monospace");
    chosen.setPixelSize(17);
    chosen.setUnderline(true);
    chosen.setStrikeOut(true);
    answer = FontChoice{chosen, QColor(0x10, 0x20, 0x30)};
    Button(*s, IDC_FONT)->click();
    EXPECT_EQ(state.logFont.faceName, "Monospace");
    EXPECT_EQ(state.logFont.height, -17);
    EXPECT_EQ(state.logFont.underline + state.logFont.strikeOut, 2);
    EXPECT_EQ(state.logFont.charSet, before.charSet);
    EXPECT_EQ(state.textColour, 0x00302010u);
    EXPECT_EQ(host.fontsApplied, 1);
    // Applied without a Save.
    EXPECT_FALSE(Button(*s, IDC_DONE)->isEnabled());
}

// The real pickers, answered from the event loops they run.
TEST_F(SettingsDialogTest, PlatformPickersOfferFixedPitchAndNeedBothConfirmed) {
    auto s = Open();
    ASSERT_TRUE(s);
    const LogFont before = state.logFont;
    bool fixedPitchOnly = false;
    bool colourAsked = false;
    QTimer::singleShot(0, [&] {
        auto* fonts = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        if (fonts == nullptr) {
            ADD_FAILURE() << "no font dialog";
            return;
        }
        fixedPitchOnly = fonts->testOption(QFontDialog::MonospacedFonts) &&
                         !fonts->testOption(QFontDialog::ProportionalFonts);
        QTimer::singleShot(0, [&] {
            if (auto* colours = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                colourAsked = true;
                colours->reject();
            }
        });
        fonts->accept();
    });
    EXPECT_FALSE(s->ChooseTerminalFont());
    EXPECT_TRUE(fixedPitchOnly);
    EXPECT_TRUE(colourAsked);
    EXPECT_EQ(state.logFont.faceName, before.faceName);
    EXPECT_EQ(state.logFont.height, before.height);
    EXPECT_EQ(host.fontsApplied, 0);
}

TEST_F(SettingsDialogTest, RunsModallyUntilDone) {
    EXPECT_EQ(RunSettingsDialog(host, nullptr), 0);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->ItemAs<QAbstractButton>(IDC_SAVE)->click();
        dialog->ItemAs<QAbstractButton>(IDC_DONE)->click();
    });
    EXPECT_EQ(RunSettingsDialog(host, &state), 1);
    EXPECT_EQ(messages, QStringList{"Connection failed."});
}

}  // namespace
}  // namespace tavirel
