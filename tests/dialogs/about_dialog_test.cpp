#include "dialogs/about_dialog.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <memory>

#include "resources/images.h"

namespace tavirel {
namespace {

TEST(KernelReleaseTest, MajorAndMinorOfReleaseStrings) {
    const auto parsed = [](const char* r) {
        const KernelVersion v = ParseKernelRelease(r);
        return std::pair{v.major, v.minor};
    };
    EXPECT_EQ(parsed("6.1.0-18-amd64"), std::pair(6, 1));
    EXPECT_EQ(parsed("6.18.44-fc-v1300"), std::pair(6, 18));
    EXPECT_EQ(parsed("4"), std::pair(4, 0));
    EXPECT_EQ(parsed("7.x"), std::pair(7, 0));
    EXPECT_EQ(parsed("unknown"), std::pair(0, 0));
}

TEST(AboutTextTest, ParagraphsAndTheExactUsageLines) {
    const QString text = AboutText();
    EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("\r\n")));  // CR LF only
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.front().contains(QStringLiteral("capture tool for BAUDOT art")));
    const QStringList usage = {
        QStringLiteral("Usage:"),
        QStringLiteral("The baud rate, data bits, stop bits, parity, port, RTS/CTS handshaking, "
                       "DTR/DSR handshaking, and XON/XOFF handshaking can be changed under the "
                       "Settings menu item."),
        QString(),
        QStringLiteral("Once the communications settings are set, the Action menu item can be "
                       "selected to connect or disconnect the program"),
        QString(),
    };
    const qsizetype at = lines.indexOf(usage.front());
    ASSERT_GT(at, 2);
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(lines[at - 1].isEmpty());
    EXPECT_EQ(lines.mid(at, usage.size()), usage);
    EXPECT_EQ(lines.size(), at + usage.size() + 2);  // the two-line credit closes it
}

class AboutDialogTest : public testing::Test {
  protected:
    void SetUp() override { d->show(); }
    std::unique_ptr<TemplateDialog> d{BuildAboutDialog(nullptr)};
};

TEST_F(AboutDialogTest, VersionLinesTextIconAndPicture) {
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    int major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(u.release, "%d.%d", &major, &minor), 2);
    EXPECT_EQ(d->ItemAs<QLabel>(529)->text(),
              QStringLiteral("Tavirel v.%1.%2").arg(major).arg(minor));
    EXPECT_EQ(d->ItemAs<QLabel>(530)->text(), QStringLiteral("by Zeltor v.03.10.000"));

    auto* edit = d->ItemAs<QPlainTextEdit>(1008);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->toPlainText().split(u'\n'), AboutText().split(QStringLiteral("\r\n")));
    EXPECT_TRUE(d->Item(528)->isHidden());

    const QImage shot = d->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture =
        QImage(QString::fromLatin1(kTerminalBitmapPath)).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.copy(10, 10, 64, 64), picture);
}

TEST_F(AboutDialogTest, EscapeAndTheCloseBoxAreIgnoredOkEnds) {
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    QTest::mouseClick(d->ItemAs<QPushButton>(1), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

TEST_F(AboutDialogTest, EnterInTheTextBoxPressesOk) {
    QTest::keyClick(d->Item(1008), Qt::Key_Return);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

}  // namespace
}  // namespace tavirel
