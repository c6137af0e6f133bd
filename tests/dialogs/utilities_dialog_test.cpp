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

TEST_F(UtilitiesDialogTest, LaysOutTheTemplateWithItsTextsAndTabOrder) {
    EXPECT_EQ(d->windowTitle(), "Corrow ASCII/ITA#2 Tanslation Programs");
    EXPECT_FALSE(d->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    EXPECT_EQ(d->findChildren<QLabel*>().size(), 8);
    EXPECT_EQ(d->findChildren<QGroupBox*>().size(), 4);
    QStringList texts;
    for (const QLabel* label : d->findChildren<QLabel*>())
        texts << label->text();
    // The blanks that are easy to lose: two after each full stop, twelve
    // before the parenthesis, one at the end of the cleaner's description.
    EXPECT_TRUE(texts.contains("Output File Name            (provided by conversion utility)"));
    EXPECT_TRUE(
        texts.contains("This page provides conversion utilities for various input "
                       "formats.  Please provide the required input filename and output "
                       "file name including path if required.  When ready, press the "
                       "\"Do It\" button for the desired conversion.  "));
    EXPECT_TRUE(
        texts.contains("Reads ASCII text file, converts to ASCII, and outputs the "
                       "resulting characters to file.  (It assumes character value 10 is "
                       "a linefeed, but it's TTY/ITA2)."));
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& t) {
        return t.startsWith("Clean file strips leading nulls") && t.endsWith("reader). ");
    }));

    d->show();
    QStringList order;
    ASSERT_EQ(d->focusWidget(), d->Item(IDC_UTILITIES_EXIT));
    for (QWidget* w = d->focusWidget(); order.size() < 7; w = w->nextInFocusChain()) {
        if (!w->objectName().isEmpty() && (w->focusPolicy() & Qt::TabFocus) != 0)
            order << w->objectName().mid(4) + QLatin1Char(':') +
                         d->ItemText(w->objectName().mid(4).toInt());
    }
    // Focus starts on Exit; the fields start empty, the output read-only.
    EXPECT_EQ(order.join(' '), "1021:Exit 1014:Do It 1015:Do It 1016:Do It 1017:Do It 1018: 1019:");
    EXPECT_TRUE(d->ItemAs<QLineEdit>(IDC_OUTPUT_PATH)->isReadOnly());
}

// Each button runs its converter on the typed path, shows the derived path
// and reports; the states carry from one press to the next.
TEST_F(UtilitiesDialogTest, EachButtonConvertsAndOnlyExitCloses) {
    ASSERT_TRUE(dir.isValid());
    d->show();
    Put("hello.txt", "HELLO 123\r\n");
    Press(IDC_TO_ITA2, dir.filePath("hello.txt"));
    EXPECT_EQ(Output(), Path("hello.ita"));
    EXPECT_EQ(Read("hello.ita"),
              QByteArray("\x1f\x14\x01\x12\x12\x18\x04\x1b\x17\x13\x01\x08\x02"));
    Press(IDC_ITA2_TO_ASCII, dir.filePath("hello.ita"));
    EXPECT_EQ(Read("hello.asc"), QByteArray("STDDA /?5\r\n"));
    Put("tape.raw", QByteArray("\0\0\xe5\x20\x41", 5));
    Press(IDC_CLEAN_TAPE, dir.filePath("tape.raw"));
    EXPECT_EQ(Read("tape.bdo"), QByteArray("\x05\x00\x01", 3));
    Press(IDC_CLEAN_TAPE, dir.filePath("tape.raw"));
    EXPECT_EQ(Read("tape.bdo"), QByteArray("\x00\x00\x05\x00\x01", 5));
    Put("art.txt", "a~b\r\n");
    Press(IDC_TO_ITA2_SUBSET, dir.filePath("art.txt"));
    EXPECT_EQ(Read("art.asc"), "A-B\r\n");
    EXPECT_EQ(Output(), Path("art.asc"));
    EXPECT_EQ(Shown(),
              "ASCII to BAUDOT: Task complete|Binary to ASCII: Task complete|Clean: Task "
              "complete|Clean: Task complete|ASCII to ITA2: Task complete");

    // An empty field does nothing; refusals keep the last output shown.
    shown.clear();
    Press(IDC_TO_ITA2, QString());
    Press(IDC_TO_ITA2, dir.filePath("hello.ita"));
    Press(IDC_ITA2_TO_ASCII, QStringLiteral("   "));
    EXPECT_EQ(Output(), Path("art.asc"));
    EXPECT_EQ(Shown(), "Output would replace the input!: " + Path("hello.ita") +
                           " (error)|File doesn't exist!:     (error)");
    EXPECT_EQ(Read("hello.ita").size(), 13);

    QTest::keyClick(d.get(), Qt::Key_Escape);
    // Enter in the field is OK, which nothing answers.
    d->activateWindow();
    d->ItemAs<QLineEdit>(IDC_INPUT_PATH)->setFocus();
    QTest::keyClick(d->Item(IDC_INPUT_PATH), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    QTest::mouseClick(d->ItemAs<QPushButton>(IDC_UTILITIES_EXIT), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

}  // namespace
}  // namespace tavirel
