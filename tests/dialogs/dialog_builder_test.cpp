#include "dialogs/dialog_builder.h"

#include <sys/utsname.h>

#include <QGroupBox>

#include "dialogs/about_dialog.h"
#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

// Base units from the dialog's font: half the rounded mean width of the 52
// letters, and the character height.
QRect Expected(const TemplateDialog& d, int x, int y, int cx, int cy) {
    const QFontMetrics fm(d.font());
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const double bx = (letters / 26 + 1) / 2, by = fm.height();
    const auto px = [](int v, double b, int div) { return static_cast<int>(v * b / div + 0.5); };
    return {px(x, bx, 4), px(y, by, 8), px(cx, bx, 4), px(cy, by, 8)};
}

// Without a system menu neither Escape nor a close box ends it; buttons only
// report, Enter presses a focused button and else the default one, and the
// radios form one group apart from the check boxes.
TEST(SettingsTemplateTest, PlacesControlsAndOnlyTheDialogLogicCloses) {
    const std::unique_ptr<TemplateDialog> d(BuildDialog(kSettingsDialog, nullptr));
    EXPECT_EQ(d->size(), Expected(*d, 0, 0, 200, 169).size());
    EXPECT_EQ(d->Item(549)->geometry(), Expected(*d, 55, 96, 50, 10));
    EXPECT_EQ(d->Item(1)->geometry(), Expected(*d, 125, 103, 37, 14));
    EXPECT_EQ(d->Item(1005)->geometry(), Expected(*d, 134, 86, 58, 10));
    EXPECT_EQ(test::TabOrder(d->Item(544), 20),
              "544 545 546 547 548 549 550 551 558 552 553 554 556 557 555 1 2 1000 1001 1005");

    EXPECT_FALSE(d->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    std::vector<int> ids;
    QObject::connect(d.get(), &TemplateDialog::Command, [&](int id) { ids.push_back(id); });
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    for (int id : {555, 2, 1000, 1005, 549, 550})
        QTest::mouseClick(d->ItemAs<QAbstractButton>(id), Qt::LeftButton);
    d->activateWindow();
    for (int id : {555, 549}) {
        d->Item(id)->setFocus();
        QTest::keyClick(d->Item(id), Qt::Key_Return);
    }
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(ids, (std::vector{555, 2, 1000, 1005, 549, 550, 555, 1}));
    QString checked;
    for (int id : {1000, 1001, 1005, 549, 550})
        checked += QString::number(d->ItemAs<QAbstractButton>(id)->isChecked());
    EXPECT_EQ(checked, "00111");
}

// Static texts fit word-wrapped, labels on one line. A fixed-pitch font, with
// its wide blanks, may need a smaller size here and there.
TEST(TemplateTextTest, NoTextOfAnyDialogIsClipped) {
    const std::pair<const char*, bool> fonts[] = {
        {"DejaVu Sans", true}, {"DejaVu Serif", true}, {"DejaVu Sans Mono", false}};
    const QFont saved = QApplication::font();
    for (const auto& [family, keepsSize] : fonts) {
        QApplication::setFont(QFont(QString::fromLatin1(family)));
        for (int id : {kAboutDialog, kSettingsDialog, kCaptureDialog, kSendFileDialog,
                       kUtilitiesDialog, kPictureEditorDialog, kSoundDialog}) {
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
                    EXPECT_TRUE(!keepsSize || l->font() == d->font()) << family;
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
                    << family << ", dialog " << id << ": " << text.toStdString();
            }
        }
    }
    QApplication::setFont(saved);
}

TEST(AboutDialogTest, ShowsTheSystemVersionAndTheTextUntilOk) {
    const std::unique_ptr<TemplateDialog> d(BuildAboutDialog(nullptr));
    utsname u{};
    int major = 0, minor = 0;
    ASSERT_EQ(uname(&u), 0);
    ASSERT_EQ(std::sscanf(u.release, "%d.%d", &major, &minor), 2);
    EXPECT_EQ(d->ItemText(IDC_ABOUT_VERSION),
              QStringLiteral("Tavirel v.%1.%2").arg(major).arg(minor));
    EXPECT_TRUE(d->Item(IDC_ABOUT_ICON)->isHidden());
    const QString text = d->ItemAs<QPlainTextEdit>(IDC_ABOUT_TEXT)->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("\n\nUsage:\n")) && !text.contains(u'\r'));
    test::ExpectOnlyClosesBy(d.get(), IDOK);
}

}  // namespace
}  // namespace tavirel
