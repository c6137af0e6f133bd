#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "dialogs/capture_dialog.h"
#include "dialogs/file_picker.h"
#include "dialogs/message_box.h"
#include "dialogs/send_file_dialog.h"
#include "link/process_state.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

struct Box {
    QString text, caption;
    bool operator==(const Box&) const = default;
};
void PrintTo(const Box& b, std::ostream* out) {
    *out << b.caption.toStdString() << ": " << b.text.toStdString();
}

class TransferDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        saved = QDir::currentPath();
        QDir::setCurrent(folder.path());
        SetMessageHandler([this](QWidget*, const QString& text, const QString& caption, auto&&...) {
            boxes.push_back({text, caption});
            return IDOK;
        });
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        SetFilePicker(nullptr);
        QDir::setCurrent(saved);
        ResetProcessStateForTests();
    }
    static bool Enabled(TemplateDialog* d, int id) { return d->Item(id)->isEnabled(); }

    QTemporaryDir folder;
    QString saved;
    std::vector<Box> boxes;
};

// The name box lists the folder without dot-names, sorted; every refusal
// leaves the dialog ready; a pick too long for the name is refused, not cut.
TEST_F(TransferDialogsTest, SendFileRefusesWhatItCannotSend) {
    for (const char* name : {"b.txt", "A 100%.txt", ".hidden"}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
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
    EXPECT_EQ(boxes,
              (std::vector<Box>{
                  {"No File Name Provided", "Can't create file!"},
                  {"missing.txt", "Can't Open file!"},
                  {tooLong, "Path too long!"},
                  {tooLong, "Path too long!"},
                  {folder.filePath("b.txt") + "\nThe send stopped: the line takes nothing more.",
                   "Send File"},
              }));
    EXPECT_TRUE(Enabled(d, IDC_SEND) && Enabled(d, IDC_SEND_NAME));
    EXPECT_EQ(d->ItemText(IDC_SEND_NAME), "");
    d->Command(IDC_SEND_EXIT);
    EXPECT_EQ(d->result(), 1);
}

// One capture per opening: ready, capturing (only Stop works, Escape does
// nothing), stopped. The counters follow the reader and end exact; BAUDOT
// shifts count as read, not saved.
TEST_F(TransferDialogsTest, CaptureRunsOnceAndCountsWhatTheReaderGives) {
    QFile old("old.cap");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("stale");
    old.close();
    {
        CaptureDialog capture(nullptr);
        TemplateDialog* d = capture.Dialog();
        d->show();
        EXPECT_EQ(d->ItemText(IDC_BYTES_READ), "0");
        EXPECT_FALSE(Enabled(d, IDC_STOP_CAPTURE));
        d->Command(IDC_START_CAPTURE);
        d->SetItemText(IDC_CAPTURE_NAME, "no/such/folder/x.cap");
        d->Command(IDC_START_CAPTURE);
        EXPECT_EQ(boxes, (std::vector<Box>{{"No File Name Provided", "Can't create file!"},
                                           {"no/such/folder/x.cap", "Can't create file!"}}));
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
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("HI").repeated(100));

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
    EXPECT_EQ(boxes.back().caption, "ERROR: Write to file failed! (disk full?)");
    EXPECT_TRUE(boxes.back().text.startsWith("/dev/full\n"));
    EXPECT_TRUE(Enabled(d, IDC_CAPTURE_EXIT));
    EXPECT_FALSE(Enabled(d, IDC_STOP_CAPTURE) || full.Capturing());
    EXPECT_EQ(d->ItemText(IDC_BYTES_SAVED), "0");
}

}  // namespace
}  // namespace tavirel
