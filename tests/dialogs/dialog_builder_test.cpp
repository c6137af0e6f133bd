#include "dialogs/dialog_builder.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

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

TEST_F(SettingsTemplateTest, ControlsByIdWithTheirKindAndGeometry) {
    EXPECT_EQ(BuildDialog(4711, nullptr), nullptr);
    for (int id : {544, 545, 546, 547, 548})
        EXPECT_NE(d->ItemAs<QComboBox>(id), nullptr) << id;
    for (int id : {549, 550, 551, 552, 553, 554, 556, 557})
        EXPECT_NE(d->ItemAs<QCheckBox>(id), nullptr) << id;
    for (int id : {555, 1, 2})
        EXPECT_NE(d->ItemAs<QPushButton>(id), nullptr) << id;
    for (int id : {1000, 1001, 1005})
        EXPECT_NE(d->ItemAs<QRadioButton>(id), nullptr) << id;
    EXPECT_EQ(d->Item(kNoId), nullptr);
    EXPECT_EQ(d->ItemTemplate(546)->cy, 76);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("TTY Settings..."));

    EXPECT_EQ(d->font().pointSize(), 8);
    EXPECT_EQ(d->size(), Expected(*d, 0, 0, 200, 169).size());
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    EXPECT_EQ(d->Item(549)->geometry(), Expected(*d, 55, 96, 50, 10));
    EXPECT_EQ(d->Item(1)->geometry(), Expected(*d, 125, 103, 37, 14));
    EXPECT_EQ(d->Item(1005)->geometry(), Expected(*d, 134, 86, 58, 10));
    // A drop-down list keeps its natural height; the template's height is
    // the dropped list's, so taller lists show more rows.
    auto* port = d->ItemAs<QComboBox>(544);
    EXPECT_EQ(port->geometry(),
              QRect(Expected(*d, 55, 20, 55, 104).topLeft(),
                    QSize(Expected(*d, 0, 0, 55, 0).width(), port->sizeHint().height())));
    const auto rows = [&](int id) { return d->ItemAs<QComboBox>(id)->maxVisibleItems(); };
    EXPECT_GT(rows(545), rows(544));
    EXPECT_GT(rows(544), rows(547));
    EXPECT_GE(rows(548), 1);
}

TEST_F(SettingsTemplateTest, TabOrderMnemonicsAndButtonTexts) {
    const std::vector<int> expected = {544, 545, 546, 547, 548, 549, 550,  551,  552, 553,
                                       554, 556, 557, 555, 1,   2,   1000, 1001, 1005};
    std::vector<int> order;
    for (QWidget* w = d->Item(544); order.size() < expected.size(); w = w->nextInFocusChain()) {
        if (!w->objectName().isEmpty() && (w->focusPolicy() & Qt::TabFocus) != 0)
            order.push_back(w->objectName().mid(4).toInt());
    }
    EXPECT_EQ(order, expected);

    d->show();
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
    QTest::keyClick(d.get(), Qt::Key_A, Qt::AltModifier);  // label "P&arity:"
    EXPECT_EQ(QApplication::focusWidget(), d->Item(547));
    QTest::keyClick(d.get(), Qt::Key_T, Qt::AltModifier);  // group box "&TTY Options:"
    EXPECT_EQ(QApplication::focusWidget(), d->Item(552));

    // A blank after "&" makes no mnemonic: the ampersand stays visible.
    EXPECT_EQ(d->ItemAs<QPushButton>(2)->text(), QStringLiteral("Done && Exit"));
    EXPECT_EQ(d->ItemText(2), QStringLiteral("Done & Exit"));
    EXPECT_EQ(d->ItemAs<QPushButton>(555)->text(), QStringLiteral("&Font"));
    EXPECT_TRUE(d->ItemAs<QPushButton>(1)->isDefault());
    EXPECT_FALSE(d->ItemAs<QPushButton>(555)->autoDefault());
    // Greying these out is the settings logic's business.
    EXPECT_TRUE(d->Item(556)->isEnabled());
    EXPECT_TRUE(d->Item(2)->isEnabled());
}

TEST_F(SettingsTemplateTest, OnlyTheDialogLogicCloses) {
    EXPECT_FALSE(d->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    QSignalSpy commands(d.get(), &TemplateDialog::Command);
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    QTest::mouseClick(d->ItemAs<QPushButton>(555), Qt::LeftButton);
    QTest::mouseClick(d->ItemAs<QPushButton>(2), Qt::LeftButton);
    QTest::keyClick(d->Item(549), Qt::Key_Return);  // the default button
    EXPECT_TRUE(d->isVisible());
    std::vector<int> ids;
    for (const auto& args : commands)
        ids.push_back(args[0].toInt());
    EXPECT_EQ(ids, (std::vector{555, 2, 1}));

    d->End(7);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 7);
}

TEST_F(SettingsTemplateTest, RadioButtonsExcludeEachOther) {
    d->show();
    for (int id : {1000, 1005, 549, 550})
        QTest::mouseClick(d->ItemAs<QAbstractButton>(id), Qt::LeftButton);
    EXPECT_FALSE(d->ItemAs<QRadioButton>(1000)->isChecked());
    EXPECT_TRUE(d->ItemAs<QRadioButton>(1005)->isChecked());
    EXPECT_TRUE(d->ItemAs<QCheckBox>(549)->isChecked());
    EXPECT_TRUE(d->ItemAs<QCheckBox>(550)->isChecked());
}

TEST(TemplateTextTest, EveryTextFitsItsControl) {
    for (int id : {kSettingsDialog, kAboutDialog}) {
        std::unique_ptr<TemplateDialog> d(BuildDialog(id, nullptr));
        for (QLabel* l : d->findChildren<QLabel*>()) {
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width())
                << l->text().toStdString();
        }
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>()) {
            // A push button's hint has a minimum width of its own.
            const int need = qobject_cast<QPushButton*>(b) != nullptr
                                 ? b->fontMetrics().horizontalAdvance(b->text()) + 6
                                 : b->sizeHint().width();
            EXPECT_LE(need, b->width()) << b->text().toStdString();
        }
    }
}

TEST(AboutTemplateTest, CloseBoxAndEscapeAskToCancel) {
    std::unique_ptr<TemplateDialog> d(BuildDialog(kAboutDialog, nullptr));
    EXPECT_TRUE(d->windowFlags() & Qt::WindowCloseButtonHint);
    QSignalSpy commands(d.get(), &TemplateDialog::Command);
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    ASSERT_EQ(commands.count(), 2);
    EXPECT_EQ(commands[0][0].toInt(), IDCANCEL);
    EXPECT_EQ(commands[1][0].toInt(), IDCANCEL);
}

TEST(MessageTest, TheBoxAnswersAndTestsCanReplaceIt) {
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->windowTitle() + u'|' + box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(ShowMessage(nullptr, QStringLiteral("<b>x</b>"), QStringLiteral("Cap"),
                          MessageIcon::Warning, MessageButtons::OkCancel),
              IDCANCEL);
    EXPECT_EQ(shown, QStringLiteral("Cap|<b>x</b>"));

    SetMessageHandler(
        [&](QWidget*, const QString& text, const QString& caption, MessageIcon, MessageButtons) {
            shown = caption + u'|' + text;
            return IDOK;
        });
    EXPECT_EQ(ShowMessage(nullptr, QStringLiteral("Task complete"), QStringLiteral("Send File"),
                          MessageIcon::Information),
              IDOK);
    EXPECT_EQ(shown, QStringLiteral("Send File|Task complete"));
    SetMessageHandler(nullptr);
}

}  // namespace
}  // namespace tavirel
