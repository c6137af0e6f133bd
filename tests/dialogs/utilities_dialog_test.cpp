#include "dialogs/utilities_dialog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "dialogs/message_box.h"

namespace tavirel {
namespace {

class UtilitiesDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        SetMessageHandler([this](QWidget* owner, const QString& text, const QString& caption,
                                 MessageIcon icon, MessageButtons) {
            EXPECT_EQ(owner, d.get());
            shown << caption + QStringLiteral(": ") + text +
                         (icon == MessageIcon::Error ? QStringLiteral(" (error)") : QString());
            return IDOK;
        });
    }
    void TearDown() override { SetMessageHandler(nullptr); }

    void Press(int id, const QString& input) {
        auto* field = d->ItemAs<QLineEdit>(IDC_INPUT_PATH);
        field->clear();
        QTest::keyClicks(field, input);
        QTest::mouseClick(d->ItemAs<QPushButton>(id), Qt::LeftButton);
    }
    QByteArray Put(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return bytes;
    }
    QByteArray Read(const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    std::string Output() const { return d->ItemText(IDC_OUTPUT_PATH).toStdString(); }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    std::string Shown() const { return shown.join('|').toStdString(); }

    std::unique_ptr<TemplateDialog> d{BuildUtilitiesDialog(nullptr)};
    QTemporaryDir dir;
    QStringList shown;
};

// Focus starts on Exit, the fields empty; the tab order is the template's.
// The easy blanks to lose: two after each full stop, twelve before the
// parenthesis.
TEST_F(UtilitiesDialogTest, LaysOutTheTemplate) {
    EXPECT_EQ(d->windowTitle(), "Corrow ASCII/ITA#2 Tanslation Programs");
    EXPECT_EQ(d->findChildren<QLabel*>().size(), 8);
    EXPECT_EQ(d->findChildren<QGroupBox*>().size(), 4);
    QStringList texts;
    for (const QLabel* label : d->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Output File Name            (provided by conversion utility)"));
    EXPECT_TRUE(texts
                    .filter("required.  When ready, press the \"Do It\" button for the desired "
                            "conversion.  ")
                    .size() == 1);
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
    ASSERT_TRUE(dir.isValid());
    d->show();
    Put("ab.txt", "AB");
    Press(IDC_TO_ITA2, dir.filePath("ab.txt"));
    EXPECT_EQ(Output(), Path("ab.ita"));
    Put("ab2.txt", "AB");
    Press(IDC_TO_ITA2, dir.filePath("ab2.txt"));
    EXPECT_EQ(Read("ab2.ita"), "\x03\x19");  // the shift carried
    Press(IDC_TO_ITA2, QString());
    Press(IDC_TO_ITA2, dir.filePath("ab.ita"));
    Press(IDC_ITA2_TO_ASCII, QStringLiteral("   "));
    EXPECT_EQ(Output(), Path("ab2.ita"));
    EXPECT_EQ(Shown(),
              "ASCII to BAUDOT: Task complete|ASCII to BAUDOT: Task complete|"
              "Output would replace the input!: " +
                  Path("ab.ita") + " (error)|File doesn't exist!:     (error)");

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
