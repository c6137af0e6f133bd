#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <tuple>

#include "resources/images.h"
#include "resources/menu.h"
#include "resources/strings.h"

namespace tavirel {
namespace {

// The menu shows through the main window's tests and the templates through the
// dialogs'; what only the resources hold is checked here.
TEST(ResourcesTest, StringTableHoldsEveryTextAndNothingBetween) {
    std::string all;
    for (int id = 700; id < 900; ++id) {
        if (const char* text = LoadResourceString(id))
            all += std::to_string(id) + "=" + text + " ";
    }
    EXPECT_EQ(all,
              "784=COM 795=45 796=50 797=57 798=74 799=100 800=110 801=300 802=600 803=1200 "
              "804=2400 805=4800 806=9600 807=14.4k 808=19.2k 809=38.4k 810=56k 811=128k "
              "812=256k 816=None 817=Even 818=Odd 819=Mark 820=Space 832=1 833=1.5 834=2 ");
}

TEST(ResourcesTest, AcceleratorsAndImages) {
    const auto keys = MainAccelerators();
    const std::tuple<AcceleratorKey, int> expected[] = {{AcceleratorKey::PageUp, CMD_CONNECT},
                                                        {AcceleratorKey::PageDown, CMD_DISCONNECT},
                                                        {AcceleratorKey::F1, CMD_SEND_FILE}};
    ASSERT_EQ(keys.size(), std::size(expected));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(std::tuple(keys[i].key, keys[i].command), expected[i]) << i;
        EXPECT_TRUE(keys[i].shift);
    }

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
