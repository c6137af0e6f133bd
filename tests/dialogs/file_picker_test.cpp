#include "dialogs/file_picker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

namespace tavirel {
namespace {

// Answers the picker once it is up, as the operator would.
void WhenPickerOpens(std::function<void(QFileDialog&)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

TEST(FilePickerTest, TakesANewNameAsAFullPathAndNothingOnCancel) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const FilePickRequest request{FilePickRequest::Mode::Open, "Open - Load file into editor",
                                  "TXT Files (*.txt);;All Files (*.*)", folder.path()};

    WhenPickerOpens([&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), request.title);
        EXPECT_EQ(d.nameFilters(), QStringList({"TXT Files (*.txt)", "All Files (*.*)"}));
        EXPECT_EQ(d.selectedNameFilter(), "TXT Files (*.txt)");
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
        d.selectFile(QStringLiteral("not there yet.txt"));
        static_cast<QDialog&>(d).accept();  // as the Open button does
    });
    EXPECT_EQ(PickFile(nullptr, request), QDir(folder.path()).filePath("not there yet.txt"));

    WhenPickerOpens([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(PickFile(nullptr, request), std::nullopt);

    // The seam answers in the dialog's place and sees what was asked.
    SetFilePicker([](QWidget*, const FilePickRequest& r) -> std::optional<QString> {
        return r.mode == FilePickRequest::Mode::Save ? std::optional<QString>(r.title + ".mod")
                                                     : std::nullopt;
    });
    EXPECT_EQ(PickFile(nullptr, {FilePickRequest::Mode::Save, "pic", "", ""}), "pic.mod");
    EXPECT_EQ(PickFile(nullptr, request), std::nullopt);
    SetFilePicker(nullptr);
}

}  // namespace
}  // namespace tavirel
