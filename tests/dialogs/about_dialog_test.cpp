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
    EXPECT_EQ(d->ItemAs<QLabel>(IDC_ABOUT_AUTHOR)->text(), "by Zeltor v.03.10.000");
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

}  // namespace
}  // namespace tavirel
