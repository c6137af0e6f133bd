#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <random>
#include <thread>

#include "dialogs/capture_dialog.h"
#include "dialogs/file_picker.h"
#include "dialogs/send_file_dialog.h"
#include "link/connection.h"
#include "link/process_state.h"
#include "link/write_queue.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"
#include "tests/support/files.h"
#include "tests/support/message_log.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

class TransferDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        saved = QDir::currentPath();
        QDir::setCurrent(folder.path());
    }
    void TearDown() override {
        SetFilePicker(nullptr);
        QDir::setCurrent(saved);
        ResetProcessStateForTests();
    }
    static bool Enabled(TemplateDialog* d, int id) { return d->Item(id)->isEnabled(); }

    QTemporaryDir folder;
    QString saved;
    test::MessageLog log;
    const QStringList& boxes = log.shown;
};

// The name box lists the folder without dot-names, sorted; every refusal
// leaves the dialog ready; a pick too long for the name is refused, not cut.
TEST_F(TransferDialogsTest, SendFileRefusesWhatItCannotSend) {
    for (const char* name : {"b.txt", "A 100%.txt", ".hidden"})
        test::WriteFile(name, "x");
    QDir().mkdir("sub");
    TtyState state;
    test::FakeWindow window(&state);
    SendFileDialog send(nullptr, &window);
    TemplateDialog* d = send.Dialog();
    auto* box = d->ItemAs<QComboBox>(IDC_SEND_NAME);
    QStringList listed;
    for (int i = 0; i < box->count(); ++i)
        listed << box->itemText(i);
    EXPECT_EQ(listed, QStringList({"A 100%.txt", "b.txt", "sub"}));

    const QString longName(300, u'n');
    std::vector<std::optional<QString>> picks{std::nullopt, longName, folder.filePath("b.txt")};
    SetFilePicker([&](QWidget*, const FilePickRequest& r) {
        EXPECT_EQ(r.title, "Open - Load file into editor");
        const std::optional<QString> pick = picks.front();
        picks.erase(picks.begin());
        return pick;
    });
    d->Command(IDC_GET_FILE);  // cancelled
    EXPECT_EQ(d->ItemText(IDC_SEND_NAME), "");
    d->Command(IDC_SEND);
    d->SetItemText(IDC_SEND_NAME, "missing.txt");
    d->Command(IDC_SEND);
    d->Command(IDC_GET_FILE);  // too long
    EXPECT_EQ(d->ItemText(IDC_SEND_NAME), "missing.txt");
    d->SetItemText(IDC_SEND_NAME, longName);
    d->Command(IDC_SEND);
    d->Command(IDC_GET_FILE);
    EXPECT_EQ(d->ItemText(IDC_SEND_NAME), folder.filePath("b.txt"));
    d->Command(IDC_SEND);  // no line to send on: told once the send has ended
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 5; }));
    const QString tooLong = "The path is longer than 254 characters:\n" + longName;
    EXPECT_EQ(boxes, QStringList({"E Can't create file!: No File Name Provided",
                                  "E Can't Open file!: missing.txt", "E Path too long!: " + tooLong,
                                  "E Path too long!: " + tooLong,
                                  "E Send File: " + folder.filePath("b.txt") +
                                      "\nThe send stopped: the line takes nothing more."}));
    EXPECT_TRUE(Enabled(d, IDC_SEND) && Enabled(d, IDC_SEND_NAME));
    EXPECT_EQ(d->ItemText(IDC_SEND_NAME), "");
    d->Command(IDC_SEND_EXIT);
    EXPECT_EQ(d->result(), 1);
}

// One capture per opening: ready, capturing (only Stop works, Escape does
// nothing), stopped. A teleprinter hands the reader a character every 150 to
// 250 ms, sooner and later than the counters' 200 ms: they follow to the last
// one without waiting for Stop; BAUDOT shifts count as read, not saved.
TEST_F(TransferDialogsTest, CaptureRunsOnceAndCountersFollowAMachinesPace) {
    constexpr int kBlocks = 30;
    test::WriteFile("old.cap", "stale");
    {
        CaptureDialog capture(nullptr);
        TemplateDialog* d = capture.Dialog();
        d->show();
        EXPECT_FALSE(Enabled(d, IDC_STOP_CAPTURE));
        d->Command(IDC_START_CAPTURE);
        d->SetItemText(IDC_CAPTURE_NAME, "no/such/folder/x.cap");
        d->Command(IDC_START_CAPTURE);
        EXPECT_EQ(boxes, QStringList({"E Can't create file!: No File Name Provided",
                                      "E Can't create file!: no/such/folder/x.cap"}));
        EXPECT_TRUE(Enabled(d, IDC_START_CAPTURE) && Enabled(d, IDC_CAPTURE_NAME));

        d->SetItemText(IDC_CAPTURE_NAME, "old.cap");
        d->Command(IDC_START_CAPTURE);
        EXPECT_FALSE(Enabled(d, IDC_START_CAPTURE) || Enabled(d, IDC_CAPTURE_EXIT) ||
                     Enabled(d, IDC_CAPTURE_NAME));
        QTest::keyClick(d, Qt::Key_Escape);
        EXPECT_TRUE(d->isVisible());
        std::atomic<bool> typed{false};
        std::thread machine([&] {
            std::mt19937 random(45);
            for (int i = 0; i < kBlocks; ++i) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::uniform_int_distribution(150, 250)(random)));
                std::uint8_t block[] = {31, 20, 6};  // LTRS H I
                Transfer().RecordBlock(block, DecodeBaudotBlock(block, 3), 3);
            }
            typed = true;
        });
        // The program's own kind of loop, whose timers fire on time, looking
        // at the counters now and then.
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (typed && d->ItemText(IDC_BYTES_READ) == QString::number(3 * kBlocks) &&
                d->ItemText(IDC_BYTES_SAVED) == QString::number(2 * kBlocks))
                loop.quit();
        });
        look.start(50);
        QTimer::singleShot(kBlocks * 250 + 2000, &loop, [&] { loop.exit(1); });
        EXPECT_EQ(loop.exec(), 0) << d->ItemText(IDC_BYTES_READ).toStdString();
        machine.join();
        d->Command(IDC_STOP_CAPTURE);
        EXPECT_TRUE(Enabled(d, IDC_CAPTURE_EXIT));
        EXPECT_FALSE(Enabled(d, IDC_START_CAPTURE) || Enabled(d, IDC_STOP_CAPTURE));
    }
    EXPECT_EQ(test::ReadFile("old.cap"), QByteArray("HI").repeated(kBlocks).toStdString());

    // A full disk stops the capture and names the file; the counters of the
    // last capture do not show in the next.
    CaptureDialog full(nullptr);
    TemplateDialog* d = full.Dialog();
    EXPECT_EQ(d->ItemText(IDC_BYTES_READ), "0");
    d->SetItemText(IDC_CAPTURE_NAME, "/dev/full");
    d->Command(IDC_START_CAPTURE);
    std::thread([] {
        std::uint8_t block[] = {'o', 'k'};
        Transfer().RecordBlock(block, 2, 2);
    }).join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 3; }));
    EXPECT_TRUE(boxes.back().startsWith("E ERROR: Write to file failed! (disk full?): /dev/full\n"))
        << log.Joined();
    EXPECT_TRUE(Enabled(d, IDC_CAPTURE_EXIT));
    EXPECT_FALSE(Enabled(d, IDC_STOP_CAPTURE) || full.Capturing());
    EXPECT_EQ(d->ItemText(IDC_BYTES_SAVED), "0");
}

// The send dialog on a fake line at 1200 baud, ASCII.
class SendOnALineTest : public TransferDialogsTest {
  protected:
    // Carries each write end to the dialog as the main window does: a queued call.
    struct Window : test::FakeWindow {
        using FakeWindow::FakeWindow;
        void PostWriteDone(const WriteDone& done) override {
            QMetaObject::invokeMethod(
                &context, [this, done] { dialog->OnWriteDone(done); }, Qt::QueuedConnection);
        }
        QObject context;
        SendFileDialog* dialog = nullptr;
    };

    void SetUp() override {
        TransferDialogsTest::SetUp();
        ASSERT_TRUE(CreateLinkEvents(state));
        state.commHandle.reset(port = new test::FakePort);
        state.connected = 1;
        state.baudRate = 1200;
        state.byteSize = 8;
        CodeMode = ModeAscii;
        Connect();
        window.dialog = &send;
    }
    void TearDown() override {
        state.writer.reset();
        CodeMode = savedMode;
        TransferDialogsTest::TearDown();
    }
    // A new writer on the same port, as a new connection makes.
    void Connect() {
        state.writer.reset();
        state.writer = std::make_unique<WriteQueue>(&window, &state, port, state.writeEvent,
                                                    WriteMsPerByte(state.baudRate),
                                                    CharacterTime(state), SteadyClock());
    }
    // Sends the file at path; what reached the line once the operator has
    // seen `told` boxes in all.
    std::string Send(qsizetype told) {
        const std::size_t before = port->Received().size();
        send.Dialog()->SetItemText(IDC_SEND_NAME, path);
        send.Dialog()->Command(IDC_SEND);
        EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.size() == told; }));
        EXPECT_TRUE(state.writer->WaitIdle(std::chrono::seconds(1)));
        const std::vector<std::uint8_t> line = port->Received();
        return {line.begin() + static_cast<std::ptrdiff_t>(before), line.end()};
    }

    const CodeModeValue savedMode = CodeMode.load();
    TtyState state;
    Window window{&state};
    test::FakePort* port = nullptr;
    SendFileDialog send{nullptr, &window};
    const QString path = folder.filePath("file.txt");
};

// The line goes in the middle of a send. The operator is told once the send
// has ended, while the write ends still queued arrive (a box runs its own
// event loop); the same dialog sends again once the line is back.
TEST_F(SendOnALineTest, ALineLostMidSendIsToldAndTheDialogSendsAgain) {
    test::WriteFile(path.toStdString(), std::string(300, 'R'));
    log.whileShown = [] { QCoreApplication::sendPostedEvents(); };
    TemplateDialog* d = send.Dialog();
    d->SetItemText(IDC_SEND_NAME, path);
    d->Command(IDC_SEND);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->ItemText(IDC_BYTES_SENT).toInt() >= 3; }));
    port->FailWrites(EIO);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty(); }));
    EXPECT_EQ(boxes, QStringList("E Send File: " + path +
                                 "\nThe send stopped: the line takes nothing more."));
    EXPECT_TRUE(Enabled(d, IDC_SEND) && Enabled(d, IDC_SEND_NAME));

    port->FailWrites(0);
    Connect();
    test::WriteFile(path.toStdString(), "RYRY\r\n");
    EXPECT_EQ(Send(2), "RYRY\r\n");
    EXPECT_EQ(boxes.back(), "I Send File: Task complete");
}

// Line feeds with no carriage return make a staircase on paper: before the
// send the operator is asked whether a CR goes before each, and the answer is
// what goes out; a cancel leaves the dialog as it was. A file without any is
// sent without a question.
TEST_F(SendOnALineTest, LoneLineFeedsAreAskedAboutBeforeTheSend) {
    const auto asked = [&](const char* count, const char* them, const char* each) {
        return QString(
                   "Q Send File: %1\n%2 without a carriage return: the carriage does not go "
                   "back, so the lines after %3 creep to the right.\n\nSend a carriage "
                   "return before %4? No sends the file as it is.")
            .arg(path, count, them, each);
    };
    const QString three = asked("3 line feeds", "them", "each"),
                  one = asked("1 line feed", "it", "it");
    const QString done = "I Send File: Task complete";
    const struct {
        const char* file;
        int answer;
        QStringList boxes;
        const char* line;
    } rows[] = {
        {"AB\nCD\n\nE\r\n", IDYES, {three, done}, "AB\r\nCD\r\n\r\nE\r\n"},
        {"AB\nCD\n\nE\r\n", IDNO, {three, done}, "AB\nCD\n\nE\r\n"},
        {"AB\nCD\n\nE\r\n", IDCANCEL, {three}, ""},
        {"\nAB\n", IDYES, {one, done}, "\nAB\r\n"},
        {"AB\r\n\nCD\r\n", IDYES, {done}, "AB\r\n\nCD\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.file)) + " answered " +
                     std::to_string(row.answer));
        test::WriteFile(path.toStdString(), row.file);
        log.shown.clear();
        log.answer = row.answer;
        EXPECT_EQ(Send(row.boxes.size()), row.line);
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(send.Dialog()->ItemText(IDC_SEND_NAME), row.answer == IDCANCEL ? path : "");
        EXPECT_TRUE(Enabled(send.Dialog(), IDC_SEND) && Enabled(send.Dialog(), IDC_SEND_NAME));
    }
}

// The program quitting with a send running: the line is stopped, and no
// message waits for an operator who has gone.
TEST_F(TransferDialogsTest, AQuitDuringASendStopsTheLineSilently) {
    test::PtyLine line;
    TtyState state;
    ASSERT_TRUE(line.ok() && CreateLinkEvents(state));
    test::FakeWindow window(&state);
    ASSERT_NE(OpenConnection(&window), 0);  // 45 baud: the send outlives the dialog
    test::WriteFile("long.txt", std::string(100, 'R'));
    {
        SendFileDialog send(nullptr, &window);
        send.Dialog()->SetItemText(IDC_SEND_NAME, "long.txt");
        send.Dialog()->Command(IDC_SEND);
        EXPECT_TRUE(send.Sending());
    }
    EXPECT_TRUE(boxes.isEmpty()) << log.Joined();
    EXPECT_TRUE(state.writer->WaitIdle(std::chrono::seconds(1)));
    CloseConnection(&window);
}

}  // namespace
}  // namespace tavirel
