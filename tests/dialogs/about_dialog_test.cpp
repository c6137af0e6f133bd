#include "dialogs/about_dialog.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <memory>

namespace tavirel {
namespace {

TEST(AboutDialogTest, ShowsTheSystemVersionAndTheUsage) {
    const std::unique_ptr<TemplateDialog> d(BuildAboutDialog(nullptr));
    utsname u{};
    int major = 0, minor = 0;
    ASSERT_EQ(uname(&u), 0);
    ASSERT_EQ(std::sscanf(u.release, "%d.%d", &major, &minor), 2);
    EXPECT_EQ(d->ItemAs<QLabel>(IDC_ABOUT_VERSION)->text(),
              QStringLiteral("Tavirel v.%1.%2").arg(major).arg(minor));
    EXPECT_EQ(d->ItemAs<QLabel>(IDC_ABOUT_AUTHOR)->text(), "by Zeltor v.03.10.000");
    EXPECT_TRUE(d->Item(IDC_ABOUT_ICON)->isHidden());

    const auto* edit = d->ItemAs<QPlainTextEdit>(IDC_ABOUT_TEXT);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    const QStringList usage = {
        "Usage:",
        "The baud rate, data bits, stop bits, parity, port, RTS/CTS handshaking, DTR/DSR "
        "handshaking, and XON/XOFF handshaking can be changed under the Settings menu item.",
        "",
        "Once the communications settings are set, the Action menu item can be selected to "
        "connect or disconnect the program",
        ""};
    const QStringList lines = edit->toPlainText().split(u'\n');
    EXPECT_EQ(lines.mid(lines.indexOf(usage.front()), usage.size()), usage);
}

TEST(AboutDialogTest, EscapeAndTheCloseBoxAreIgnoredOkEnds) {
    const std::unique_ptr<TemplateDialog> d(BuildAboutDialog(nullptr));
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->close());
    EXPECT_TRUE(d->isVisible());
    QTest::mouseClick(d->ItemAs<QPushButton>(IDOK), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), 1);
}

}  // namespace
}  // namespace tavirel
