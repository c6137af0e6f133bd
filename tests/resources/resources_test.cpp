#include <gtest/gtest.h>

#include <QImage>

#include "resources/images.h"

namespace tavirel {

namespace {

// The tables (menu, accelerators, strings, templates) show through the main
// window's and the dialogs' tests; what only the resources hold is the
// pictures, which must be built in and drawable as they are used.
TEST(ResourcesTest, PicturesAreBuiltIn) {
    EXPECT_EQ(ResourceImagePath(401), nullptr);
    const QImage bitmap(QString::fromLatin1(ResourceImagePath(kTerminalBitmap)));
    EXPECT_EQ(bitmap.size(), QSize(64, 64));
    EXPECT_FALSE(bitmap.hasAlphaChannel());  // drawn as a plain copy
    const QImage icon(QString::fromLatin1(ResourceImagePath(kMainIcon)));
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_TRUE(icon.hasAlphaChannel());
}

}  // namespace
}  // namespace tavirel
