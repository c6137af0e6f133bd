#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <set>
#include <string>
#include <vector>

#include "resources/dialog_templates.h"
#include "resources/images.h"
#include "resources/menu.h"
#include "resources/strings.h"

namespace tavirel {
namespace {

TEST(MenuTest, EntriesItemsAndCommandsInOrder) {
    // One line per entry: label=command, then its items.
    const std::vector<std::string> expected = {
        "&Action=0 &Connect\tShift+PgUp=256 &Disconnect\tShift+PgDn=257 =0 E&xit=258",
        "&Settings...=259",
        "&Transfer=0 Send File . . .\tShift+F1=261 Capture Files to Disk . . .=40001 "
        "Corrow Utilities . . .=40002",
        "PictureEdit=262",
        "A&bout=260",
    };
    std::vector<std::string> actual;
    for (const MenuEntry& e : MainMenu()) {
        std::string line = std::string(e.label) + "=" + std::to_string(e.command);
        for (const MenuItem& i : e.items)
            line += " " + std::string(i.label) + "=" + std::to_string(i.command);
        actual.push_back(line);
    }
    EXPECT_EQ(actual, expected);

    const auto keys = MainAccelerators();
    ASSERT_EQ(keys.size(), 3u);
    const std::pair<AcceleratorKey, int> accel[] = {{AcceleratorKey::PageUp, CMD_CONNECT},
                                                    {AcceleratorKey::PageDown, CMD_DISCONNECT},
                                                    {AcceleratorKey::F1, CMD_SEND_FILE}};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].key, accel[i].first);
        EXPECT_EQ(keys[i].command, accel[i].second);
        EXPECT_TRUE(keys[i].shift);
    }
}

TEST(StringTableTest, HoldsEveryTextAndNothingBetween) {
    EXPECT_STREQ(LoadResourceString(kStringComPrefix), "COM");
    const char* bauds[] = {"45",    "50",    "57",    "74",   "100",  "110",
                           "300",   "600",   "1200",  "2400", "4800", "9600",
                           "14.4k", "19.2k", "38.4k", "56k",  "128k", "256k"};
    for (int i = 0; i < 18; ++i)
        EXPECT_STREQ(LoadResourceString(kStringFirstBaud + i), bauds[i]) << i;
    const char* parities[] = {"None", "Even", "Odd", "Mark", "Space"};
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(LoadResourceString(kStringFirstParity + i), parities[i]) << i;
    const char* stops[] = {"1", "1.5", "2"};
    for (int i = 0; i < 3; ++i)
        EXPECT_STREQ(LoadResourceString(kStringFirstStopBits + i), stops[i]) << i;
    for (int id : {0, 783, 785, 794, 813, 815, 821, 831, 835})
        EXPECT_EQ(LoadResourceString(id), nullptr) << id;
}

TEST(DialogTemplateTest, KnownTemplatesWithUniqueIds) {
    EXPECT_EQ(FindDialogTemplate(99), nullptr);
    for (int id : {kAboutDialog, kSettingsDialog}) {
        const DialogTemplate* t = FindDialogTemplate(id);
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(t->id, id);
        std::set<int> seen;
        for (const ControlTemplate& c : t->controls) {
            EXPECT_TRUE(c.id == kNoId || seen.insert(c.id).second) << "duplicate " << c.id;
            // Greying out and hiding are the dialog logic's business.
            EXPECT_EQ(c.style & (kDisabled | kHidden), 0u) << c.id;
        }
    }
}

TEST(ImageTest, PicturesLoadFromTheResources) {
    ASSERT_STREQ(ResourceImagePath(kTerminalBitmap), kTerminalBitmapPath);
    ASSERT_STREQ(ResourceImagePath(kMainIcon), kMainIconPath);
    EXPECT_EQ(ResourceImagePath(401), nullptr);

    const QImage bitmap(QString::fromLatin1(kTerminalBitmapPath));
    ASSERT_EQ(bitmap.size(), QSize(64, 64));
    QSet<QRgb> colours;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            colours.insert(bitmap.pixel(x, y));
    }
    EXPECT_LE(colours.size(), 16);
    EXPECT_FALSE(bitmap.hasAlphaChannel());  // a plain copy: nothing shows through

    const QImage icon(QString::fromLatin1(kMainIconPath));
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_TRUE(icon.hasAlphaChannel());
}

}  // namespace
}  // namespace tavirel
