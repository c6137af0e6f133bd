#include "dialogs/utilities_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "tests/support/files.h"
#include "tests/support/message_log.h"

namespace tavirel {
namespace {

class UtilitiesDialogTest : public testing::Test {
  protected:
    void Press(int id, const QString& input) {
        auto* field = d->ItemAs<QLineEdit>(IDC_INPUT_PATH);
        field->clear();
        QTest::keyClicks(field, input);
        QTest::mouseClick(d->ItemAs<QPushButton>(id), Qt::LeftButton);
    }
    std::string Output() const { return d->ItemText(IDC_OUTPUT_PATH).toStdString(); }
    QString Path(const char* name) const { return QString::fromStdString(dir / name); }

    test::MessageLog boxes;
    std::unique_ptr<TemplateDialog> d{BuildUtilitiesDialog(nullptr)};
    test::TempDir dir;
};

// Focus starts on Exit, the fields empty; the tab order is the template's.
TEST_F(UtilitiesDialogTest, LaysOutTheTemplate) {
    d->show();
    QStringList order;
    for (QWidget* w = d->focusWidget(); w != nullptr && order.size() < 7;
         w = w->nextInFocusChain()) {
        if (!w->objectName().isEmpty() && (w->focusPolicy() & Qt::TabFocus) != 0)
            order << w->objectName().mid(4) + QLatin1Char(':') +
                         d->ItemText(w->objectName().mid(4).toInt());
    }
    EXPECT_EQ(order.join(' '), "1021:Exit 1014:Do It 1015:Do It 1016:Do It 1017:Do It 1018: 1019:");
    EXPECT_TRUE(d->ItemAs<QLineEdit>(IDC_OUTPUT_PATH)->isReadOnly());
}

// A button converts the typed path with the process's states, shows the
// output path and reports in boxes the dialog owns; an empty field does
// nothing and a refusal keeps the last path shown. Only Exit closes.
TEST_F(UtilitiesDialogTest, ConvertsReportsAndOnlyExitCloses) {
    d->show();
    test::WriteFile(dir / "ab.txt", "AB");
    Press(IDC_TO_ITA2, Path("ab.txt"));
    EXPECT_EQ(Output(), dir / "ab.ita");
    test::WriteFile(dir / "ab2.txt", "AB");
    Press(IDC_TO_ITA2, Path("ab2.txt"));
    EXPECT_EQ(test::ReadFile(dir / "ab2.ita"), "\x03\x19");  // the shift carried
    Press(IDC_TO_ITA2, QString());
    Press(IDC_TO_ITA2, Path("ab.ita"));
    Press(IDC_ITA2_TO_ASCII, QStringLiteral("   "));
    EXPECT_EQ(Output(), dir / "ab2.ita");
    EXPECT_EQ(boxes.Joined(),
              "I ASCII to BAUDOT: Task complete|I ASCII to BAUDOT: Task complete|"
              "E Output would replace the input!: " +
                  dir / "ab.ita" + "|E File doesn't exist!:    ");
    EXPECT_EQ(boxes.owners, std::vector<QWidget*>(4, d.get()));

    QTest::keyClick(d.get(), Qt::Key_Escape);
    // Enter in the field is OK, which nothing answers.
    d->activateWindow();
    d->ItemAs<QLineEdit>(IDC_INPUT_PATH)->setFocus();
    QTest::keyClick(d->Item(IDC_INPUT_PATH), Qt::Key_Return);
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    QTest::mouseClick(d->ItemAs<QPushButton>(IDC_UTILITIES_EXIT), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

}  // namespace
}  // namespace tavirel
