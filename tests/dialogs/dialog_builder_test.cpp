#include "dialogs/dialog_builder.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "dialogs/about_dialog.h"
#include "dialogs/file_picker.h"

namespace tavirel {
namespace {

// Base units worked out here from the dialog's own font: the rounded mean
// width of the 52 letters and the character height.
QRect Expected(const TemplateDialog& d, int x, int y, int cx, int cy) {
    const QFontMetrics fm(d.font());
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const double bx = (letters / 26 + 1) / 2, by = fm.height();
    const auto px = [](int v, double b, int div) { return static_cast<int>(v * b / div + 0.5); };
    return {px(x, bx, 4), px(y, by, 8), px(cx, bx, 4), px(cy, by, 8)};
}

class SettingsTemplateTest : public testing::Test {
  protected:
    std::unique_ptr<TemplateDialog> d{BuildDialog(kSettingsDialog, nullptr)};
};

TEST_F(SettingsTemplateTest, ControlsByIdWithTheirKindGeometryAndTabOrder) {
    EXPECT_EQ(d->size(), Expected(*d, 0, 0, 200, 169).size());
    EXPECT_EQ(d->Item(549)->geometry(), Expected(*d, 55, 96, 50, 10));
    EXPECT_EQ(d->Item(1)->geometry(), Expected(*d, 125, 103, 37, 14));
    EXPECT_EQ(d->Item(1005)->geometry(), Expected(*d, 134, 86, 58, 10));
    EXPECT_TRUE(d->ItemAs<QPushButton>(1)->isDefault());

    QStringList order;  // the controls that take focus, in tab order
    for (QWidget* w = d->Item(544); order.size() < 19; w = w->nextInFocusChain()) {
        if (w->objectName().isEmpty() || (w->focusPolicy() & Qt::TabFocus) == 0)
            continue;
        const int id = w->objectName().mid(4).toInt();
        EXPECT_EQ(d->Item(id), w);
        order << QStringLiteral("%1:%2").arg(id).arg(w->metaObject()->className());
    }
    EXPECT_EQ(order.join(' '),
              "544:QComboBox 545:QComboBox 546:QComboBox 547:QComboBox 548:QComboBox "
              "549:QCheckBox 550:QCheckBox 551:QCheckBox 552:QCheckBox 553:QCheckBox "
              "554:QCheckBox 556:QCheckBox 557:QCheckBox 555:QPushButton 1:QPushButton "
              "2:QPushButton 1000:QRadioButton 1001:QRadioButton 1005:QRadioButton");
}

// Without a system menu neither Escape nor a close box ends it; buttons only
// report, and the radios form one group apart from the check boxes.
TEST_F(SettingsTemplateTest, OnlyTheDialogLogicCloses) {
    EXPECT_FALSE(d->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    QSignalSpy commands(d.get(), &TemplateDialog::Command);
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    for (int id : {555, 2, 1000, 1005, 549, 550})
        QTest::mouseClick(d->ItemAs<QAbstractButton>(id), Qt::LeftButton);
    // Enter presses a focused button, and the default one from elsewhere.
    d->activateWindow();
    d->Item(555)->setFocus();
    QTest::keyClick(d->Item(555), Qt::Key_Return);
    d->Item(549)->setFocus();
    QTest::keyClick(d->Item(549), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    std::vector<int> ids;
    for (const auto& args : commands)
        ids.push_back(args[0].toInt());
    EXPECT_EQ(ids, (std::vector{555, 2, 1000, 1005, 549, 550, 555, 1}));
    QStringList checked;
    for (int id : {1000, 1001, 1005, 549, 550})
        checked << QString::number(d->ItemAs<QAbstractButton>(id)->isChecked());
    EXPECT_EQ(checked.join(""), "00111");
}

// No text of any dialog is cut off, whatever the desktop's font: each static
// text fits its control word-wrapped, as a static text wraps, and each
// button's and group box's label fits on one line, in the font it is drawn
// with. A proportional font draws the static texts in the dialog's own size;
// a fixed-pitch one, with its wide blanks, may need a smaller size here and
// there.
TEST(TemplateTextTest, NoTextOfAnyDialogIsClipped) {
    const struct {
        const char* family;
        bool keepsSize;
    } rows[] = {{"DejaVu Sans", true}, {"DejaVu Serif", true}, {"DejaVu Sans Mono", false}};
    const QFont saved = QApplication::font();
    for (const auto& row : rows) {
        QApplication::setFont(QFont(QString::fromLatin1(row.family)));
        for (int id : {kAboutDialog, kSettingsDialog, kCaptureDialog, kSendFileDialog,
                       kUtilitiesDialog, kPictureEditorDialog}) {
            const std::unique_ptr<TemplateDialog> d(BuildDialog(id, nullptr));
            for (std::size_t i = 0; i < d->Template().controls.size(); ++i) {
                QWidget* w = d->Control(i);
                const QFontMetrics fm = w->fontMetrics();
                const QSize room = w->contentsRect().size();
                QSize need;
                QString text;
                if (auto* l = qobject_cast<QLabel*>(w); l != nullptr && l->pixmap().isNull()) {
                    text = l->text();
                    const int flags = Qt::TextWordWrap | int(l->alignment()) |
                                      (l->buddy() != nullptr ? Qt::TextShowMnemonic : 0);
                    need = fm.boundingRect(QRect(0, 0, room.width(), 1 << 20), flags, text).size();
                    if (row.keepsSize) {
                        EXPECT_EQ(l->font(), d->font()) << row.family << ": " << text.toStdString();
                    }
                } else if (auto* b = qobject_cast<QPushButton*>(w)) {
                    text = b->text();  // the style keeps a few pixels beside it
                    need = {fm.size(Qt::TextShowMnemonic, text).width() + 6, 0};
                } else if (auto* c = qobject_cast<QAbstractButton*>(w)) {
                    text = c->text();
                    need = {c->sizeHint().width(), 0};
                } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                    text = g->title();  // drawn a character in from each side
                    need = {fm.size(Qt::TextShowMnemonic, text).width() + 2 * fm.averageCharWidth(),
                            0};
                }
                EXPECT_TRUE(need.width() <= room.width() && need.height() <= room.height())
                    << row.family << ", dialog " << id << ": " << need.width() << "x"
                    << need.height() << " in " << room.width() << "x" << room.height() << ": "
                    << text.toStdString();
            }
        }
    }
    QApplication::setFont(saved);
}

// The first line shows the system's version; the text's CR LF line ends show
// as line breaks. Escape and the close box are ignored, OK ends it.
TEST(AboutDialogTest, ShowsTheSystemVersionAndTheTextUntilOk) {
    const std::unique_ptr<TemplateDialog> d(BuildAboutDialog(nullptr));
    utsname u{};
    int major = 0, minor = 0;
    ASSERT_EQ(uname(&u), 0);
    ASSERT_EQ(std::sscanf(u.release, "%d.%d", &major, &minor), 2);
    EXPECT_EQ(d->ItemAs<QLabel>(IDC_ABOUT_VERSION)->text(),
              QStringLiteral("Tavirel v.%1.%2").arg(major).arg(minor));
    EXPECT_TRUE(d->Item(IDC_ABOUT_ICON)->isHidden());

    const auto* edit = d->ItemAs<QPlainTextEdit>(IDC_ABOUT_TEXT);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(edit->toPlainText().contains(QStringLiteral("\n\nUsage:\nThe baud rate, ")));
    EXPECT_FALSE(edit->toPlainText().contains(u'\r'));

    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    QTest::mouseClick(d->ItemAs<QPushButton>(IDOK), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

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
                                  kOpenFileFilter, folder.path()};

    WhenPickerOpens([&](QFileDialog& d) {
        EXPECT_EQ(d.nameFilters(),
                  QStringList({"TXT Files (*.txt) (*.txt)", "All Files (*.*) (*)"}));
        EXPECT_EQ(d.selectedNameFilter(), "TXT Files (*.txt)");
        d.selectFile(QStringLiteral("not there yet.txt"));
        static_cast<QDialog&>(d).accept();  // as the Open button does
    });
    EXPECT_EQ(PickFile(nullptr, request), QDir(folder.path()).filePath("not there yet.txt"));

    WhenPickerOpens([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(PickFile(nullptr, request), std::nullopt);
}

}  // namespace
}  // namespace tavirel
