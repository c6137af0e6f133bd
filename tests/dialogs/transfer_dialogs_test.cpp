#include <cerrno>
#include <random>

#include "dialogs/capture_dialog.h"
#include "dialogs/send_file_dialog.h"
#include "link/process_state.h"
#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

constexpr auto kCaptureIds = {IDC_CAPTURE_NAME, IDC_START_CAPTURE, IDC_STOP_CAPTURE,
                              IDC_CAPTURE_EXIT};

struct TransferDialogsTest : ::testing::Test, test::InFolder {};

// A refusal keeps the name to mend; a pick too long is refused, not cut.
TEST_F(TransferDialogsTest, SendRefusesWhatItCannotSendCaptureFollowsAMachine) {
    for (const char* name : {"b.txt", "A 100%.txt", ".hidden"})
        test::WriteFile(name, "x");
    QDir().mkdir("sub");
    TtyState state;
    test::FakeWindow window(&state);
    SendFileDialog send(nullptr, &window);
    TemplateDialog* d = send.Dialog();
    EXPECT_EQ(test::Entries(d->ItemAs<QComboBox>(IDC_SEND_NAME)), "A 100%.txt|b.txt|sub");

    const QString longName(300, u'n'), b = Path("b.txt");
    const QString tooLong =
        "E Path too long!: The path is longer than 254 characters:\n" + longName;
    std::optional<QString> pick;
    SetFilePicker([&](QWidget*, const FilePickRequest&) { return pick; });
    // Picked (nothing: cancelled) or typed and sent; the name then, and the box.
    const struct {
        bool picked;
        std::optional<QString> name;
        QString after, box;
    } rows[] = {
        {true, std::nullopt, "", ""},
        {false, "", "", "E Can't create file!: No File Name Provided"},
        {false, "missing.txt", "missing.txt", "E Can't Open file!: missing.txt"},
        {true, longName, "missing.txt", tooLong},
        {false, longName, longName, tooLong},
        {true, b, b, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name.value_or("cancel").left(20).toStdString());
        log.shown.clear();
        if (r.picked) {
            pick = r.name;
            d->Command(IDC_GET_FILE);
        } else {
            d->SetItemText(IDC_SEND_NAME, *r.name);
            d->Command(IDC_SEND);
        }
        EXPECT_EQ(boxes.join('|'), r.box);
        EXPECT_EQ(d->ItemText(IDC_SEND_NAME), r.after);
    }
    d->Command(IDC_SEND_EXIT);
    EXPECT_EQ(d->result(), 1);

    // One capture per opening. Characters come every 150 to 250 ms, either side
    // of the counters' 200 ms: they follow to the last one without waiting for Stop.
    log.shown.clear();
    constexpr int kBlocks = 30;
    test::WriteFile("old.cap", "stale");
    {
        CaptureDialog capture(nullptr);
        TemplateDialog* c = capture.Dialog();
        c->show();
        c->SetItemText(IDC_CAPTURE_NAME, "no/such/folder/x.cap");
        c->Command(IDC_START_CAPTURE);
        EXPECT_EQ(boxes, QStringList("E Can't create file!: no/such/folder/x.cap"));
        EXPECT_EQ(test::Enabled(c, kCaptureIds), "1101");

        c->SetItemText(IDC_CAPTURE_NAME, "old.cap");
        c->Command(IDC_START_CAPTURE);
        EXPECT_EQ(test::Enabled(c, kCaptureIds), "0010");
        std::thread machine([&] {
            std::mt19937 random(45);
            for (int i = 0; i < kBlocks; ++i) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::uniform_int_distribution(150, 250)(random)));
                std::uint8_t block[] = {31, 20, 6};  // LTRS H I
                Transfer().RecordBlock(block, DecodeBaudotBlock(block, 3), 3);
            }
        });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return c->ItemText(IDC_BYTES_READ) == QString::number(3 * kBlocks) &&
                       c->ItemText(IDC_BYTES_SAVED) == QString::number(2 * kBlocks);
            },
            kBlocks * 250 + 2000))
            << c->ItemText(IDC_BYTES_READ).toStdString();
        machine.join();
        c->Command(IDC_STOP_CAPTURE);
        EXPECT_EQ(test::Enabled(c, kCaptureIds), "0001");
    }
    EXPECT_EQ(test::ReadFile("old.cap"), QByteArray("HI").repeated(kBlocks).toStdString());

    // The last capture's counters do not show in the next.
    CaptureDialog full(nullptr);
    d = full.Dialog();
    EXPECT_EQ(d->ItemText(IDC_BYTES_READ), "0");
    d->SetItemText(IDC_CAPTURE_NAME, "/dev/full");
    d->Command(IDC_START_CAPTURE);
    std::thread([] {
        std::uint8_t block[] = {'o', 'k'};
        Transfer().RecordBlock(block, 2, 2);
    }).join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 2; }));
    EXPECT_TRUE(boxes.back().startsWith("E ERROR: Write to file failed! (disk full?): /dev/full\n"))
        << log.Joined();
    EXPECT_EQ(test::Enabled(d, kCaptureIds), "0001");
    EXPECT_FALSE(full.Capturing());
    EXPECT_EQ(d->ItemText(IDC_BYTES_SAVED), "0");
}

struct SendOnALineTest : test::FakeLinkTest, test::InFolder {
    SendFileDialog send{nullptr, &window};
};

// Told once the send has ended, while queued write ends still arrive (a box
// runs its own event loop).
TEST_F(SendOnALineTest, ALineLostIsToldLoneLineFeedsAreAskedAboutAQuitIsSilent) {
    state.baudRate = 1200;
    state.byteSize = 8;
    CodeMode = ModeAscii;
    Reconnect();
    TemplateDialog* d = send.Dialog();
    // A queued call, as the main window makes.
    window.onWriteDone = [this, d](const WriteDone& done) {
        QMetaObject::invokeMethod(
            d, [this, done] { send.OnWriteDone(done); }, Qt::QueuedConnection);
    };
    const QString path = Path("file.txt");
    test::WriteFile(path.toStdString(), std::string(300, 'R'));
    log.whileShown = [] { QCoreApplication::sendPostedEvents(); };
    d->SetItemText(IDC_SEND_NAME, path);
    d->Command(IDC_SEND);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->ItemText(IDC_BYTES_SENT).toInt() >= 3; }));
    port->FailWrites(EIO);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty(); }));
    EXPECT_EQ(boxes, QStringList("E Send File: " + path +
                                 "\nThe send stopped: the line takes nothing more."));

    // The dialog sends again; lone line feeds, a staircase on paper, are asked about.
    port->FailWrites(0);
    Reconnect();
    const auto asked = [&](const char* count, const char* them, const char* each) {
        return QString(
                   "Q Send File: %1\n%2 without a carriage return: the carriage does not go "
                   "back, so the lines after %3 creep to the right.\n\nSend a carriage "
                   "return before %4? No sends the file as it is.")
            .arg(path, count, them, each);
    };
    const QString three = asked("3 line feeds", "them", "each"),
                  one = asked("1 line feed", "it", "it"), done = "I Send File: Task complete";
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
        const auto before = static_cast<std::ptrdiff_t>(port->Received().size());
        d->SetItemText(IDC_SEND_NAME, path);
        d->Command(IDC_SEND);
        EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.size() == row.boxes.size(); }));
        EXPECT_TRUE(state.writer->WaitIdle(std::chrono::seconds(1)));
        const std::vector<std::uint8_t> line = port->Received();
        EXPECT_EQ(std::string(line.begin() + before, line.end()), row.line);
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(d->ItemText(IDC_SEND_NAME), row.answer == IDCANCEL ? path : "");
        EXPECT_EQ(test::Enabled(d, {IDC_SEND, IDC_SEND_NAME}), "11");
    }

    // The program quitting: the line stops, and nobody is told.
    state.baudRate = 45;  // the send outlives the dialog
    Reconnect();
    test::WriteFile(path.toStdString(), std::string(100, 'R'));
    log.shown.clear();
    {
        SendFileDialog quit(nullptr, &window);
        quit.Dialog()->SetItemText(IDC_SEND_NAME, path);
        quit.Dialog()->Command(IDC_SEND);
        EXPECT_TRUE(quit.Sending());
    }
    EXPECT_EQ(Transfer().sendInProgress, 0);
    EXPECT_TRUE(state.writer->WaitIdle(std::chrono::seconds(1)));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(boxes.isEmpty()) << log.Joined();
}

}  // namespace
}  // namespace tavirel
