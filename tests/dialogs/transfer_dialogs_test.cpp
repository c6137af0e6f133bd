#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "dialogs/capture_dialog.h"
#include "dialogs/file_picker.h"
#include "dialogs/send_file_dialog.h"
#include "link/connection.h"
#include "link/process_state.h"
#include "link/write_queue.h"
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
    EXPECT_EQ(d->ItemText(IDC_BYTES_SENT), "0");

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
    d->Command(IDC_SEND);  // no line to send on
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
// nothing), stopped. The counters follow the reader and end exact; BAUDOT
// shifts count as read, not saved.
TEST_F(TransferDialogsTest, CaptureRunsOnceAndCountsWhatTheReaderGives) {
    test::WriteFile("old.cap", "stale");
    {
        CaptureDialog capture(nullptr);
        TemplateDialog* d = capture.Dialog();
        d->show();
        EXPECT_EQ(d->ItemText(IDC_BYTES_READ), "0");
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
        std::thread reader([] {
            for (int i = 0; i < 100; ++i) {
                std::uint8_t block[] = {31, 20, 6};  // LTRS H I
                Transfer().RecordBlock(block, DecodeBaudotBlock(block, 3), 3);
            }
        });
        reader.join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return d->ItemText(IDC_BYTES_SAVED) == "200"; }));
        EXPECT_EQ(d->ItemText(IDC_BYTES_READ), "300");
        d->Command(IDC_STOP_CAPTURE);
        EXPECT_TRUE(Enabled(d, IDC_CAPTURE_EXIT));
        EXPECT_FALSE(Enabled(d, IDC_START_CAPTURE) || Enabled(d, IDC_STOP_CAPTURE));
    }
    EXPECT_EQ(test::ReadFile("old.cap"), QByteArray("HI").repeated(100).toStdString());

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
