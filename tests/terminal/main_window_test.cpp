#include "terminal/main_window.h"

#include <QAction>
#include <QClipboard>
#include <QStatusBar>
#include <csignal>

#include "link/port.h"
#include "resources/menu.h"
#include "terminal/quit_signals.h"
#include "tests/dialogs/widget_test.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/fake_port.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPortOpener([this](const std::string&) -> std::unique_ptr<Port> {
            auto owned = portAvailable ? std::make_unique<test::FakePort>() : nullptr;
            port = owned.get();
            return owned;
        });
        window = MainWindow::Create();
        ASSERT_TRUE(window);
        window->show();
        QApplication::setActiveWindow(window.get());  // for the shortcuts
        window->View()->setFocus();
    }
    void TearDown() override {
        window.reset();
        SetPortOpener(nullptr);
    }
    QString Row(int r) {
        const auto* cells = reinterpret_cast<const char*>(window->State()->screen.data());
        return QString::fromLatin1(cells + r * kScreenColumns, kScreenColumns).trimmed();
    }
    void Key(Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(window->View(), k, m); }
    void Type(const char* text) { QTest::keyClicks(window->View(), QString::fromLatin1(text)); }
    bool LineEndsWith(const std::vector<std::uint8_t>& tail) {
        return QTest::qWaitFor([&] {
            const auto got = port->Received();
            return got.size() >= tail.size() &&
                   std::equal(tail.rbegin(), tail.rend(), got.rbegin());
        });
    }
    QString Status() { return window->statusBar()->findChild<QLabel*>()->text(); }
    testing::AssertionResult StatusIs(const QString& s) {
        if (QTest::qWaitFor([&] { return Status() == s; }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << Status().toStdString();
    }
    std::string Enabled() {
        std::string s;
        for (int c :
             {CMD_CONNECT, CMD_DISCONNECT, CMD_SEND_FILE, CMD_CAPTURE, CMD_SETTINGS, CMD_ABOUT})
            s += window->Action(c)->isEnabled() ? '1' : '0';
        return s;
    }

    std::unique_ptr<MainWindow> window;
    test::FakePort* port = nullptr;
    bool portAvailable = true;
    test::MessageLog log;
    QStringList& messages = log.shown;
};

// The menu and its accelerators follow the connection; keys and pastes reach
// the line, and the answer the screen; closing asks first.
TEST_F(MainWindowTest, MenuKeysPastesAndClose) {
    std::vector<quint8> typed;
    QObject::connect(window.get(), &MainWindow::CharacterTyped,
                     [&](quint8 ch) { typed.push_back(ch); });
    QGuiApplication::clipboard()->setText(QStringLiteral("RY 73"));
    Type("A");
    Key(Qt::Key_Insert);
    EXPECT_EQ(typed, std::vector<quint8>{'A'});  // announced, though nothing goes out
    EXPECT_EQ(Enabled(), "100011");

    portAvailable = false;
    Key(Qt::Key_PageUp, Qt::ShiftModifier);  // Connect
    EXPECT_EQ(messages, QStringList{"W Tavirel by Quennick / Zeltor: Connection failed."});
    EXPECT_EQ(Enabled(), "100011");

    portAvailable = true;
    Key(Qt::Key_PageUp, Qt::ShiftModifier);
    ASSERT_EQ(window->State()->connected.load(), 1);
    EXPECT_EQ(Enabled(), "011111");
    Key(Qt::Key_PageUp, Qt::ShiftModifier);  // grayed: nothing
    EXPECT_EQ(messages.size(), 1);

    Key(Qt::Key_PageDown, Qt::ShiftModifier);  // Disconnect
    EXPECT_EQ(Enabled(), "100011");

    window->State()->baudRate = 1200;
    window->Command(CMD_CONNECT);
    for (const auto& [key, rts, dtr] :
         {std::tuple(Qt::Key_S, true, false), std::tuple(Qt::Key_Q, true, true),
          std::tuple(Qt::Key_P, true, false), std::tuple(Qt::Key_R, false, false)}) {
        Key(key, Qt::AltModifier);
        EXPECT_EQ(std::pair(port->Rts(), port->Dtr()), std::pair(rts, dtr)) << key;
    }
    Key(Qt::Key_A, Qt::AltModifier);  // "&Action"
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(port->Received().empty());
    Type("A1 B");
    EXPECT_TRUE(LineEndsWith({3, 27, 23, 31, 4, 25}));

    // BAUDOT: shifts added, no echo without local echo, lone LFs become CR LF.
    QGuiApplication::clipboard()->setText(QStringLiteral("RY\n73"));
    Key(Qt::Key_Insert);
    EXPECT_TRUE(LineEndsWith({10, 21, 8, 2, 27, 7, 1}));
    CodeMode = ModeAscii;
    QGuiApplication::clipboard()->setText(QStringLiteral("A\nB"));
    Key(Qt::Key_Insert);
    CodeMode = ModeBaudot;
    EXPECT_EQ(Row(0), QStringLiteral("A"));
    EXPECT_TRUE(LineEndsWith({'A', '\r', '\n', 'B'}));

    port->Send({27, 1, 4, 1});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Row(1) == QStringLiteral("B3 E"); }));
    log.answer = IDCANCEL;
    window->Command(CMD_EXIT);
    EXPECT_EQ(messages.back(), "Q Tavirel: OK to close window?");
    EXPECT_TRUE(window->isVisible());
    port->HangUp();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Row(1) == QStringLiteral("B3 E<CE-5>"); }));
    log.answer = IDOK;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->State()->connected.load(), 0);
    EXPECT_TRUE(port->IsClosed());
}

// While a transfer dialog runs, the bar counts as the dialog does. The window
// gives the bar and the waterfall their own room: the screen keeps its size.
TEST_F(MainWindowTest, TheStatusBarAndTheWaterfallFollowTheLineAndTakeTheirOwnRoom) {
    test::PtyLine line;  // COM3 leads to its pseudo-terminal
    ASSERT_TRUE(line.ok());
    const auto bar = [&](const char* open, const char* com, const char* shift) {
        return QStringLiteral("%1 | %2 \u2192 %3 | 45 baud 5N1.5 | BAUDOT, %4")
            .arg(open, com, QString::fromStdString(line.slavePath()), shift);
    };
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QSize screen = window->View()->size();
    QAction* toggle = window->Action(CMD_STATUS_BAR);
    for (const bool shown : {false, true}) {
        toggle->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);  // else the old size
        EXPECT_EQ(std::pair(window->statusBar()->isVisible(), toggle->isChecked()),
                  std::pair(shown, shown));
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->View()->size() == screen; })) << shown;
    }
    EXPECT_TRUE(StatusIs(bar("Not connected", "COM3", "shift not known")));
    Key(Qt::Key_PageUp, Qt::ShiftModifier);
    Type("A1");
    EXPECT_TRUE(StatusIs(bar("Connected", "COM3", "figures")));

    QTemporaryDir folder;
    const QString file = folder.filePath("ry.txt");  // sent, then captured over
    test::WriteFile(file.toStdString(), std::string(200, 'R'));
    const struct {
        int command, name, start, counter, stop, exit;
        const char* shows;
    } rows[] = {{CMD_SEND_FILE, IDC_SEND_NAME, IDC_SEND, IDC_BYTES_SENT, 0, IDC_SEND_EXIT,
                 "Sending: %1 bytes sent"},
                {CMD_CAPTURE, IDC_CAPTURE_NAME, IDC_START_CAPTURE, IDC_BYTES_SAVED,
                 IDC_STOP_CAPTURE, IDC_CAPTURE_EXIT, "Capturing: %1 bytes saved"}};
    for (const auto& row : rows) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->SetItemText(row.name, file);
            emit d->Command(row.start);
            port->Send({31, 3, 25, 1});  // LTRS A B E, for a capture to save
            shown = QTest::qWaitFor([&] {
                const QString n = d->ItemText(row.counter);
                return n != "0" && Status().endsWith(" | " + QString(row.shows).arg(n));
            });
            if (row.stop != 0)
                emit d->Command(row.stop);
            emit d->Command(row.exit);
        });
        window->Command(row.command);
        EXPECT_TRUE(shown) << row.shows << ": " << Status().toStdString();
        // Exit drops what was queued, and with it the shift.
        EXPECT_TRUE(StatusIs(bar("Connected", "COM3", "shift not known"))) << row.shows;
    }

    // A port linked through a long stable name shows the device it ends at.
    const std::filesystem::path byId = line.portFolder() / "usb-Prolific_USB-Serial-if00-port0";
    std::filesystem::create_symlink(line.slavePath(), byId);
    std::filesystem::create_symlink(byId, line.portFolder() / "COM4");
    window->Command(CMD_DISCONNECT);
    SetPortOpener(nullptr);  // the real lookup and open from here on
    window->State()->portNumber = 4;
    window->Command(CMD_CONNECT);
    EXPECT_TRUE(StatusIs(bar("Connected", "COM4", "shift not known")));

    // A quit signal closes the line without asking: the port and its lock file are free at once.
    ASSERT_TRUE(std::filesystem::exists(line.lockFile()));
    ASSERT_TRUE(CatchQuitSignals());
    messages.clear();
    {
        QuitSignals quit;
        CloseOnQuitSignals(quit, window.get());
        QTimer::singleShot(0, [] { raise(SIGTERM); });
        QTimer::singleShot(std::chrono::seconds(10), &quit, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(QApplication::exec(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(line.lockFile()));
    EXPECT_NE(OpenSerialPort(line.slavePath()), nullptr);
    EXPECT_TRUE(messages.isEmpty()) << log.Joined();

    // A failed Connect adds on a second line what the operator can do; the reason is logged.
    test::DiagnosticsCapture diagnostics;
    std::filesystem::create_symlink("/nonexistent/tty", line.portFolder() / "COM7");
    std::filesystem::create_symlink(line.portFolder(), line.portFolder() / "COM8");
    const auto holder = OpenSerialPort(line.slavePath());
    const std::pair<int, std::string> failures[] = {
        {7, "No such device: /nonexistent/tty."},
        {8, "Not a serial device: " + line.portFolder().string() + "."},
        {3, "Port busy: another program holds " + line.slavePath() + "."},
    };
    for (const auto& [number, advice] : failures) {
        window->State()->portNumber = static_cast<std::uint8_t>(number);
        window->Command(CMD_CONNECT);
        EXPECT_EQ(messages.takeLast(), "W Tavirel by Quennick / Zeltor: Connection failed.\n" +
                                           QString::fromStdString(advice));
    }
    EXPECT_TRUE(diagnostics.Contains("COM7: open: No such file or directory"));
    EXPECT_TRUE(diagnostics.Contains("COM8: open: Is a directory"));

    // The waterfall shows while the sound card is the line; the window grows
    // and shrinks by it.
    for (const int number : {8, 0, 8}) {  // Settings: choose the port, Save, Done & Exit
        QTimer::singleShot(0, [number] {
            auto* d = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->ItemAs<QComboBox>(IDC_PORT)->setCurrentIndex(number);
            d->ItemAs<QAbstractButton>(IDC_SAVE)->click();
            d->ItemAs<QAbstractButton>(IDC_DONE)->click();
        });
        window->Command(CMD_SETTINGS);
        EXPECT_EQ(window->WaterfallPanel()->isVisible(), number == kSoundCardPort - 1) << number;
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->View()->size() == screen; })) << number;
    }
}

TEST(StatusLineTest, SaysTheLineItsSetUpTheShiftAndATransfer) {
    const struct {
        StatusFacts facts;
        const char* text;
    } rows[] = {
        {{false, "COM3", "/dev/ttyS2", 45, 5, 0, 1, ModeBaudot, 0, TransferKind::None, 0},
         "Not connected | COM3 \u2192 /dev/ttyS2 | 45 baud 5N1.5 | BAUDOT, shift not known"},
        {{true, "COM1", "/dev/ttyUSB0", 50, 5, 0, 2, ModeBaudot, 27, TransferKind::Send, 41},
         "Connected | COM1 \u2192 /dev/ttyUSB0 | 50 baud 5N2 | BAUDOT, figures | "
         "Sending: 41 bytes sent"},
        {{true, "COM2", "/dev/pts/4", 9600, 8, 2, 0, ModeAscii, 31, TransferKind::Capture, 7},
         "Connected | COM2 \u2192 /dev/pts/4 | 9600 baud 8E1 | ASCII | "
         "Capturing: 7 bytes saved"},
        {{true, "COM9", "", 110, 7, 3, 9, ModeTerminal, 31, TransferKind::None, 0},
         "Connected | COM9 \u2192 ? | 110 baud 7M? | Terminal"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StatusText(row.facts), row.text);
}

TEST(ManualTest, NamesEveryMenuCommandAndItsKey) {
    std::string manual = test::ReadFile(TAVIREL_MANUAL);
    std::erase(manual, '\\');  // roff's escapes: "\-" is "-", "\&" nothing
    std::erase(manual, '&');
    for (const MenuEntry& entry : MainMenu()) {
        QStringList names{entry.label};
        for (const MenuItem& item : entry.items)
            names << QString::fromLatin1(item.label).split('\t');  // a separator's is ""
        for (const QString& name : names)
            EXPECT_NE(manual.find(QString(name).remove('&').toStdString()), std::string::npos)
                << name.toStdString();
    }
}

}  // namespace
}  // namespace tavirel
