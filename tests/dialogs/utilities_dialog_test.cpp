#include "dialogs/utilities_dialog.h"

#include <QLineEdit>

#include "tests/dialogs/widget_test.h"

namespace tavirel {
namespace {

struct UtilitiesDialogTest : ::testing::Test, test::InFolder {};

// A button converts with the process's states and reports in boxes the dialog
// owns; an empty field does nothing, a refusal keeps the last path shown.
TEST_F(UtilitiesDialogTest, ConvertsReportsAndOnlyExitCloses) {
    const std::unique_ptr<TemplateDialog> d(BuildUtilitiesDialog(nullptr));
    auto* field = d->ItemAs<QLineEdit>(IDC_INPUT_PATH);
    const auto press = [&](int id, const QString& input) {
        field->setText(input);
        QTest::mouseClick(d->ItemAs<QPushButton>(id), Qt::LeftButton);
    };
    d->show();  // focus on Exit, Tab stops at the output
    EXPECT_EQ(test::TabOrder(d->focusWidget(), 7), "1021 1014 1015 1016 1017 1018 1019");
    EXPECT_TRUE(d->ItemAs<QLineEdit>(IDC_OUTPUT_PATH)->isReadOnly());
    test::WriteFile("ab.txt", "AB");
    test::WriteFile("ab2.txt", "AB");
    press(IDC_TO_ITA2, "ab.txt");
    press(IDC_TO_ITA2, "ab2.txt");
    EXPECT_EQ(test::ReadFile("ab2.ita"), "\x03\x19");  // the shift carried
    press(IDC_TO_ITA2, "");
    press(IDC_TO_ITA2, "ab.ita");
    press(IDC_ITA2_TO_ASCII, "   ");
    EXPECT_EQ(d->ItemText(IDC_OUTPUT_PATH), "ab2.ita");
    EXPECT_EQ(log.Joined(),
              "I ASCII to BAUDOT: Task complete|I ASCII to BAUDOT: Task complete|"
              "E Output would replace the input!: ab.ita|E File doesn't exist!:    ");
    EXPECT_EQ(log.owners, std::vector<QWidget*>(4, d.get()));

    field->setFocus();  // Enter in the field is OK, which nothing answers
    QTest::keyClick(field, Qt::Key_Return);
    test::ExpectOnlyClosesBy(d.get(), IDC_UTILITIES_EXIT);
}

}  // namespace
}  // namespace tavirel
