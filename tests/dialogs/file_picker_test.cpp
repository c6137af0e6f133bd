#include "dialogs/file_picker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileSystemModel>

#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

struct FileOpenTest : ::testing::Test, test::InFolder {};

// Art collections name files without a dot. A new name comes back as a full
// path, a cancel as nothing.
TEST_F(FileOpenTest, PicksListNamesWithoutADotAndFilesOpenWithoutWaiting) {
    for (const char* name : {"000", "1533", "cat.txt", "cat.txt.mod"})
        test::WriteFile(name, "x");
    const struct {
        int entry;
        QStringList names;
        bool accept;
    } filters[] = {
        {0, {"cat.txt"}, true},
        {1, {"000", "1533", "cat.txt", "cat.txt.mod"}, false},
    };
    for (const auto& r : filters) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(QStringLiteral("new.txt"));  // while the field has no focus
            [&] {  // looks, then lets the dialog end whatever it saw
                auto* entries = dialog->findChild<QComboBox*>("fileTypeCombo");
                auto* model = dialog->findChild<QFileSystemModel*>();
                ASSERT_TRUE(entries != nullptr && model != nullptr);
                EXPECT_EQ(entries->currentIndex(), 0);
                const auto listed = [&] {
                    QStringList names;
                    const QModelIndex root = model->index(folder.path());
                    for (int i = 0; i < model->rowCount(root); ++i) {
                        const QModelIndex item = model->index(i, 0, root);
                        if (model->flags(item).testFlag(Qt::ItemIsEnabled))
                            names << model->fileName(item);
                    }
                    names.sort();
                    return names;
                };
                dialog->selectNameFilter(dialog->nameFilters().value(r.entry));
                EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == r.names; }, 5000))
                    << entries->itemText(r.entry).toStdString() << ": "
                    << listed().join(' ').toStdString();
            }();
            r.accept ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
        });
        EXPECT_EQ(PickFileName(nullptr, kMaxFileName),
                  r.accept ? std::optional(Path("new.txt")) : std::nullopt);
    }

    // Nothing waits in open(): a pipe with nobody at its other end is refused at
    // once; one written to, or being read, works.
    const std::string pipe = Path("pipe").toStdString(), base = folder.path().toStdString() + "/";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string atLimit =
        test::WriteFile(base + std::string(kMaxFileName - base.size(), 'n'), "AB");
    const std::string nobody = "E Can't Open file!: " + pipe +
                               "\nThis is a pipe with nobody at its other end.",
                      folderIs = "E Can't Open file!: " + base + "\nThis is a folder, not a file.";
    constexpr int kNone = -1, kWriter = O_RDWR, kReader = O_RDONLY;  // who holds its other end
    const struct {
        const char* row;
        std::string name;
        const char* mode;
        int other;
        std::string shown;  // empty: opened
    } rows[] = {
        {"pipe to read, no writer", pipe, "rb", kNone, nobody},
        {"pipe to write, no reader", pipe, "wb", kNone, nobody},
        {"pipe written to", pipe, "rb", kWriter, ""},
        {"pipe being read", pipe, "wb", kReader, ""},
        {"folder to read", base, "rb", kNone, folderIs},
        {"folder to write", base, "wb", kNone, folderIs},
        {"a device", "/dev/null", "rb", kNone, ""},
        {"a name at the limit", atLimit, "rb", kNone, ""},
        {"a name past the limit", atLimit + "x", "rb", kNone,
         "E Path too long!: The path is longer than 254 characters:\n" + atLimit + "x"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        log.shown.clear();
        const int other = r.other == kNone ? -1 : ::open(pipe.c_str(), r.other | O_NONBLOCK);
        ASSERT_TRUE(r.other != kWriter || ::write(other, "AB", 2) == 2);
        std::FILE* file = nullptr;
        EXPECT_TRUE(test::ReturnsAtOnce(pipe, [&] {
            file = OpenNamedFile(nullptr, QString::fromStdString(r.name), kMaxFileName, r.mode,
                                 "Can't Open file!");
        }));
        EXPECT_EQ(log.Joined(), r.shown);
        EXPECT_EQ(file != nullptr, r.shown.empty());
        char bytes[2] = {};
        if (file != nullptr && r.mode[0] == 'r') {
            EXPECT_EQ(std::fread(bytes, 1, 2, file), r.name == "/dev/null" ? 0u : 2u);
        } else if (file != nullptr) {
            EXPECT_EQ(std::fputc('x', file), 'x');
            EXPECT_EQ(std::fflush(file), 0);
            EXPECT_EQ(::read(other, bytes, sizeof bytes), 1);
        }
        if (file != nullptr)
            std::fclose(file);
        if (other >= 0)
            ::close(other);
    }
}

}  // namespace
}  // namespace tavirel
