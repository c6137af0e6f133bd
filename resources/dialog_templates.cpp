#include "resources/dialog_templates.h"

#include <array>

namespace tavirel {

namespace {

using K = ControlKind;

// Template order is the tab order, and a label's mnemonic focuses the control
// that follows it.
constexpr std::array kSettingsControls{
    ControlTemplate{kNoId, K::GroupBox, "&COM Options:", 5, 5, 115, 124, 0},
    ControlTemplate{kNoId, K::Label, "&Port:", 10, 20, 40, 10, kAlignRight | kGroup},
    ControlTemplate{544, K::DropDownList, "", 55, 20, 55, 104, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Baud Rate:", 10, 35, 40, 10, kAlignRight},
    ControlTemplate{545, K::DropDownList, "", 55, 35, 55, 129, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Data Bits:", 10, 50, 40, 10, kAlignRight},
    ControlTemplate{546, K::DropDownList, "", 55, 50, 55, 76, kTabStop},
    ControlTemplate{kNoId, K::Label, "P&arity:", 10, 65, 40, 10, kAlignRight},
    ControlTemplate{547, K::DropDownList, "", 55, 65, 55, 60, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Stop Bits:", 10, 80, 40, 10, kAlignRight},
    ControlTemplate{548, K::DropDownList, "", 55, 80, 55, 46, kTabStop},
    ControlTemplate{kNoId, K::Label, "F&low:", 10, 96, 40, 10, kAlignRight},
    ControlTemplate{549, K::CheckBox, "DTR/DSR", 55, 96, 50, 10, kTabStop},
    ControlTemplate{550, K::CheckBox, "RTS/CTS", 55, 106, 50, 10, 0},
    ControlTemplate{551, K::CheckBox, "XON/XOFF", 55, 116, 50, 10, 0},
    ControlTemplate{kNoId, K::GroupBox, "&TTY Options:", 125, 5, 70, 49, kGroup},
    ControlTemplate{552, K::CheckBox, "Autowrap", 135, 16, 50, 10, kTabStop},
    ControlTemplate{553, K::CheckBox, "New Line", 135, 26, 50, 10, 0},
    ControlTemplate{554, K::CheckBox, "Local Echo", 135, 36, 50, 10, 0},
    ControlTemplate{kNoId, K::GroupBox, "Control &Options", 5, 132, 190, 35, 0},
    // Enabled here; the dialog's initialisation greys it out.
    ControlTemplate{556, K::CheckBox, "Use CN_RECEIVE Notifications", 10, 147, 115, 10, kTabStop},
    ControlTemplate{557, K::CheckBox, "Display Errors", 130, 147, 60, 10, 0},
    ControlTemplate{555, K::PushButton, "&Font", 165, 103, 30, 14, kGroup | kTabStop},
    ControlTemplate{1, K::DefaultPushButton, "Save", 125, 103, 37, 14, kTabStop},
    ControlTemplate{2, K::PushButton, "Done & Exit", 133, 119, 56, 14, kTabStop},
    ControlTemplate{kNoId, K::GroupBox, "Mode", 125, 55, 70, 45, 0},
    ControlTemplate{1000, K::RadioButton, "BAUDOT", 134, 64, 46, 10, kGroup},
    ControlTemplate{1001, K::RadioButton, "ASCII", 134, 75, 34, 10, 0},
    ControlTemplate{1005, K::RadioButton, "Terminal (std)", 134, 86, 58, 10, 0},
};
static_assert(kSettingsControls.size() == 29);

constexpr std::uint32_t kStaticText = kNoPrefix;

constexpr std::array kAboutControls{
    // The icon's text is its resource number.
    ControlTemplate{528, K::Icon, "400", 10, 5, 20, 20, 0},
    // 529 and 530 are format templates, filled in at initialisation.
    ControlTemplate{529, K::Label, "Tavirel v.%d.%d", 57, 5, 106, 10, kStaticText},
    ControlTemplate{530, K::Label, "by Zeltor v.%02d.%02d.%03d", 57, 15, 113, 10, kStaticText},
    ControlTemplate{kNoId, K::Label, "Copyright (c) the Tavirel developers", 57, 25, 145, 10,
                    kStaticText},
    ControlTemplate{1, K::DefaultPushButton, "OK", 177, 5, 40, 14, 0},
    ControlTemplate{1008, K::Edit, "", 13, 56, 193, 77,
                    kMultiLine | kReadOnly | kBorder | kVScroll | kTabStop},
};
static_assert(kAboutControls.size() == 6);

constexpr DialogTemplate kAbout{
    kAboutDialog, "About Tavirel", 10, 25, 220, 142, 8, "Helv", true, kAboutControls,
};

constexpr DialogTemplate kSettings{
    kSettingsDialog, "TTY Settings...", 25, 20, 200, 169, 8, "Helv", false, kSettingsControls,
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
        case kAboutDialog:
            return &kAbout;
        case kSettingsDialog:
            return &kSettings;
        default:
            return nullptr;
    }
}

}  // namespace tavirel
