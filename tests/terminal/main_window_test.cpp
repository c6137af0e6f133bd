#include "terminal/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <thread>

#include "dialogs/dialog_builder.h"
#include "link/port.h"
#include "link/write_queue.h"
#include "resources/menu.h"
#include "tests/support/fake_port.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class ModeGuard {
  public:
    explicit ModeGuard(CodeModeValue mode) : saved_(CodeMode.load()) { CodeMode = mode; }
    ~ModeGuard() { CodeMode = saved_; }

  private:
    CodeModeValue saved_;
};

// Runs the event loop until a condition holds.
template <typename F>
bool Eventually(F condition, std::chrono::milliseconds limit = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageHandler([this](QWidget*, const QString& text, const QString& caption,
                                 MessageIcon icon, MessageButtons) {
            messages.push_back((caption + ": " + text).toStdString());
            icons.push_back(icon);
            return answer;
        });
        SetPortOpener([this](const std::string&) -> std::unique_ptr<Port> {
            if (!portAvailable)
                return nullptr;
            auto owned = std::make_unique<test::FakePort>();
            port = owned.get();
            return owned;
        });
        window = MainWindow::Create();
        ASSERT_TRUE(window);
        window->show();
        // Shortcuts work in the active window only.
        QApplication::setActiveWindow(window.get());
        window->View()->setFocus();
    }
    void TearDown() override {
        window.reset();
        SetPortOpener(nullptr);
        SetMessageHandler(nullptr);
    }
    QString Row(int row) {
        const auto* cells = window->State()->screen.data() + row * kScreenColumns;
        return QString::fromLatin1(reinterpret_cast<const char*>(cells), kScreenColumns);
    }
    bool Enabled(int command) { return window->Action(command)->isEnabled(); }
    void Type(const char* text) { QTest::keyClicks(window->View(), QString::fromLatin1(text)); }

    std::unique_ptr<MainWindow> window;
    test::FakePort* port = nullptr;
    bool portAvailable = true;
    int answer = IDOK;
    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;
};

TEST_F(MainWindowTest, MenuMatchesTheResourceAndFollowsTheConnection) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tavirel by Quennick / Zeltor"));
    QStringList titles;
    for (QAction* a : window->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles,
              (QStringList{"&Action", "&Settings...", "&Transfer", "PictureEdit", "A&bout"}));
    EXPECT_EQ(window->Action(CMD_CONNECT)->text(), QStringLiteral("&Connect\tShift+PgUp"));
    EXPECT_EQ(window->Action(CMD_SEND_FILE)->text(), QStringLiteral("Send File . . .\tShift+F1"));
    EXPECT_EQ(window->Action(CMD_UTILITIES)->text(), QStringLiteral("Corrow Utilities . . ."));

    auto disconnectedRow = [&] {
        return Enabled(CMD_CONNECT) && !Enabled(CMD_DISCONNECT) && !Enabled(CMD_SEND_FILE) &&
               !Enabled(CMD_CAPTURE) && Enabled(CMD_SETTINGS) && Enabled(CMD_ABOUT);
    };
    EXPECT_TRUE(disconnectedRow());

    portAvailable = false;
    QTest::keyClick(window->View(), Qt::Key_PageUp, Qt::ShiftModifier);  // Connect
    EXPECT_EQ(messages,
              std::vector<std::string>{"Tavirel by Quennick / Zeltor: Connection failed."});
    EXPECT_EQ(icons.back(), MessageIcon::Warning);
    EXPECT_TRUE(disconnectedRow());

    portAvailable = true;
    QTest::keyClick(window->View(), Qt::Key_PageUp, Qt::ShiftModifier);
    ASSERT_EQ(window->State()->connected.load(), 1);
    EXPECT_TRUE(!Enabled(CMD_CONNECT) && Enabled(CMD_DISCONNECT) && Enabled(CMD_SEND_FILE) &&
                Enabled(CMD_CAPTURE));
    EXPECT_TRUE(window->View()->CaretExists() || !window->View()->hasFocus());

    QTest::keyClick(window->View(), Qt::Key_PageUp, Qt::ShiftModifier);  // grayed: nothing
    EXPECT_EQ(messages.size(), 1u);
    QTest::keyClick(window->View(), Qt::Key_PageDown, Qt::ShiftModifier);  // Disconnect
    EXPECT_EQ(window->State()->connected.load(), 0);
    EXPECT_TRUE(port->IsClosed());
    EXPECT_FALSE(window->View()->CaretExists());
    EXPECT_TRUE(disconnectedRow());
}

TEST_F(MainWindowTest, TypedCharactersGoToTheLineOnlyWhileConnected) {
    ModeGuard mode(ModeBaudot);
    std::vector<quint8> typed;
    QObject::connect(window.get(), &MainWindow::CharacterTyped,
                     [&](quint8 ch) { typed.push_back(ch); });
    Type("A");  // not connected: nothing sent, still announced
    EXPECT_EQ(typed, std::vector<quint8>{'A'});
    EXPECT_EQ(Row(0).trimmed(), QString());

    window->Command(CMD_CONNECT);
    ASSERT_TRUE(port);
    Type("A");  // leaves the line in letters, whatever was sent before
    ASSERT_TRUE(window->State()->writer->WaitIdle(3s));
    const std::size_t before = port->Received().size();
    Type("A1 B");
    ASSERT_TRUE(Eventually([&] { return port->Received().size() >= before + 6; }, 5000ms));
    const Bytes sent = port->Received();
    EXPECT_EQ(Bytes(sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()),
              (Bytes{3, 27, 23, 31, 4, 25}));
}

TEST_F(MainWindowTest, InsertPastesTheClipboardUnencoded) {
    ModeGuard mode(ModeBaudot);
    QGuiApplication::clipboard()->setText(QStringLiteral("RY 73"));
    QTest::keyClick(window->View(), Qt::Key_Insert);  // not connected
    EXPECT_EQ(Row(0).trimmed(), QString());

    window->Command(CMD_CONNECT);
    ASSERT_TRUE(port);
    QTest::keyClick(window->View(), Qt::Key_Insert);
    EXPECT_EQ(Row(0).left(5), QStringLiteral("RY 73"));
    ASSERT_TRUE(Eventually([&] { return port->Received().size() == 5; }, 3000ms));
    EXPECT_EQ(port->Received(), (Bytes{'R', 'Y', ' ', '7', '3'}));
}

TEST_F(MainWindowTest, AltKeysWorkTheModemLinesAndOpenNoMenu) {
    ModeGuard mode(ModeBaudot);
    window->Command(CMD_CONNECT);
    ASSERT_TRUE(port);
    EXPECT_FALSE(port->Rts());
    QTest::keyClick(window->View(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(port->Rts());
    QTest::keyClick(window->View(), Qt::Key_Q, Qt::AltModifier);
    EXPECT_TRUE(port->Dtr());
    QTest::keyClick(window->View(), Qt::Key_P, Qt::AltModifier);
    EXPECT_FALSE(port->Dtr());
    QTest::keyClick(window->View(), Qt::Key_R, Qt::AltModifier);
    EXPECT_FALSE(port->Rts());

    QTest::keyClick(window->View(), Qt::Key_A, Qt::AltModifier);  // "&Action"
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(port->Received().empty());  // nor is anything sent
}

TEST_F(MainWindowTest, ReceivedCharactersAndMarksReachTheScreen) {
    ModeGuard mode(ModeAscii);
    window->Command(CMD_CONNECT);
    ASSERT_TRUE(port);
    port->Send({'H', 'E', 'L', 'L', 'O'});
    ASSERT_TRUE(Eventually([&] { return Row(0).startsWith(QStringLiteral("HELLO")); }));
    port->HangUp();
    ASSERT_TRUE(Eventually([&] { return Row(0).startsWith(QStringLiteral("HELLO<CE-5>")); }));
    window->Command(CMD_DISCONNECT);
}

TEST_F(MainWindowTest, TheCloseQuestionDecides) {
    window->Command(CMD_CONNECT);
    ASSERT_TRUE(port);
    answer = IDCANCEL;
    window->Command(CMD_EXIT);
    EXPECT_EQ(messages.back(), "Tavirel: OK to close window?");
    EXPECT_EQ(icons.back(), MessageIcon::Question);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->State()->connected.load(), 1);

    answer = IDOK;
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->State()->connected.load(), 0);
    EXPECT_TRUE(port->IsClosed());
}

// A real pseudo-terminal as the line, found by its COM name.
TEST(MainWindowOnAPseudoTerminal, TypingAndTheAnswer) {
    test::PtyLine line;
    ASSERT_TRUE(line.ok());
    ModeGuard mode(ModeBaudot);
    auto window = MainWindow::Create();
    ASSERT_TRUE(window);
    window->State()->baudRate = 1200;
    window->show();
    window->Command(CMD_CONNECT);
    ASSERT_EQ(window->State()->connected.load(), 1);
    QTest::keyClicks(window->View(), QStringLiteral("A"));
    line.ReadFromFarEnd(2, 500ms);
    QTest::keyClicks(window->View(), QStringLiteral("A1 B"));
    EXPECT_EQ(line.ReadFromFarEnd(6, 2s), (Bytes{3, 27, 23, 31, 4, 25}));

    ASSERT_TRUE(line.WriteFromFarEnd({27, 1, 4, 1}));
    const auto* cells = window->State()->screen.data();
    ASSERT_TRUE(Eventually(
        [&] { return std::string(cells, cells + 80).find("3 E") != std::string::npos; }));
    window->Command(CMD_DISCONNECT);
}

}  // namespace
}  // namespace tavirel
