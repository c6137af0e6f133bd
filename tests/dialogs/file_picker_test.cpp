#include "dialogs/file_picker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileSystemModel>

#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

class FileOpenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    }
    std::string Path(const std::string& n) { return folder.filePath(n.c_str()).toStdString(); }

    QTemporaryDir folder;
    test::MessageLog log;
};

// Nothing waits in open(): a pipe with nobody at its other end is refused at
// once; one written to, or being read, works.
TEST_F(FileOpenTest, NamedFilesOpenWithoutWaitingOrSayWhyNot) {
    const std::string pipe = Path("pipe");
    const std::string base = folder.path().toStdString() + "/";
    const std::string atLimit =
        test::WriteFile(base + std::string(kMaxFileName - base.size(), 'n'), "AB");
    const QString nobody = "\nThis is a pipe with nobody at its other end.";
    const QString folderIs = "\nThis is a folder, not a file.";
    enum class End { None, Writer, Reader };
    const struct {
        const char* row;
        std::string name;
        const char* mode;
        End other;
        QString shown;  // empty: opened
    } rows[] = {
        {"pipe to read, no writer", pipe, "rb", End::None, QString::fromStdString(pipe) + nobody},
        {"pipe to write, no reader", pipe, "wb", End::None, QString::fromStdString(pipe) + nobody},
        {"pipe written to", pipe, "rb", End::Writer, {}},
        {"pipe being read", pipe, "wb", End::Reader, {}},
        {"folder to read", base, "rb", End::None, QString::fromStdString(base) + folderIs},
        {"folder to write", base, "wb", End::None, QString::fromStdString(base) + folderIs},
        {"a device", "/dev/null", "rb", End::None, {}},
        {"a name at the limit", atLimit, "rb", End::None, {}},
        {"a name past the limit", atLimit + "x", "rb", End::None,
         QString("The path is longer than 254 characters:\n%1x").arg(atLimit.c_str())},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        log.shown.clear();
        int other = -1;
        if (r.other == End::Writer) {
            other = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
            ASSERT_EQ(::write(other, "AB", 2), 2);
        } else if (r.other == End::Reader) {
            other = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        }
        std::FILE* file = nullptr;
        EXPECT_TRUE(test::ReturnsAtOnce(pipe, [&] {
            file = OpenNamedFile(nullptr, QString::fromStdString(r.name), kMaxFileName, r.mode,
                                 "Can't Open file!");
        }));
        if (other >= 0 && r.other == End::Writer)
            ::close(other);  // what was written stays to be read
        if (r.shown.isEmpty()) {
            ASSERT_NE(file, nullptr);
            EXPECT_TRUE(log.shown.isEmpty()) << log.Joined();
            char bytes[4] = {};
            if (r.mode[0] == 'r') {
                EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file),
                          r.name == "/dev/null" ? 0u : 2u);
            } else {
                EXPECT_EQ(std::fputc('x', file), 'x');
                EXPECT_EQ(std::fflush(file), 0);
                EXPECT_EQ(::read(other, bytes, sizeof bytes), 1);
            }
            std::fclose(file);
        } else {
            EXPECT_EQ(file, nullptr);
            if (file != nullptr)
                std::fclose(file);
            const QString caption =
                r.shown.startsWith("The path") ? "Path too long!" : "Can't Open file!";
            EXPECT_EQ(log.shown, QStringList{"E " + caption + ": " + r.shown});
        }
        if (other >= 0 && r.other == End::Reader)
            ::close(other);
    }
}

// Art collections name files without a dot.
TEST_F(FileOpenTest, AllFilesListsNamesWithoutADot) {
    for (const char* name : {"000", "1533", "cat.txt", "cat.txt.mod"})
        test::WriteFile(Path(name), "x");
    ::unlink(Path("pipe").c_str());
    FilePickRequest request;
    SetFilePicker([&](QWidget*, const FilePickRequest& r) -> std::optional<QString> {
        request = r;
        return std::nullopt;
    });
    PickFileName(nullptr, kMaxFileName);
    SetFilePicker(nullptr);

    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(nullptr, request);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(folder.path());
    auto* entries = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(entries->currentIndex(), 0);

    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
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
    const struct {
        int entry;
        QStringList names;
    } rows[] = {
        {0, {"cat.txt"}},
        {1, {"000", "1533", "cat.txt", "cat.txt.mod"}},
    };
    for (const auto& r : rows) {
        ASSERT_LT(r.entry, dialog->nameFilters().size());
        dialog->selectNameFilter(dialog->nameFilters().at(r.entry));
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed() == r.names; }, 5000))
            << entries->itemText(r.entry).toStdString() << ": " << listed().join(' ').toStdString();
    }
}

}  // namespace
}  // namespace tavirel
