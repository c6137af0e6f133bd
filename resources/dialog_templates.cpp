#include "resources/dialog_templates.h"

#include <array>

namespace tavirel {

namespace {

using K = ControlKind;

// Controls are found by id, so no two in one template may share one.
template <std::size_t N>
constexpr bool IdsUnique(const std::array<ControlTemplate, N>& controls) {
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = i + 1; j < N; ++j) {
            if (controls[i].id != kNoId && controls[i].id == controls[j].id)
                return false;
        }
    }
    return true;
}

// Template order is the tab order, and a label's mnemonic focuses the control
// that follows it.
constexpr std::array kSettingsControls{
    ControlTemplate{kNoId, K::GroupBox, "&COM Options:", 5, 5, 115, 124, 0},
    ControlTemplate{kNoId, K::Label, "&Port:", 10, 20, 40, 10, kAlignRight | kGroup},
    ControlTemplate{IDC_PORT, K::DropDownList, "", 55, 20, 55, 104, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Baud Rate:", 10, 35, 40, 10, kAlignRight},
    ControlTemplate{IDC_BAUD, K::DropDownList, "", 55, 35, 55, 129, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Data Bits:", 10, 50, 40, 10, kAlignRight},
    ControlTemplate{IDC_DATA_BITS, K::DropDownList, "", 55, 50, 55, 76, kTabStop},
    ControlTemplate{kNoId, K::Label, "P&arity:", 10, 65, 40, 10, kAlignRight},
    ControlTemplate{IDC_PARITY, K::DropDownList, "", 55, 65, 55, 60, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Stop Bits:", 10, 80, 40, 10, kAlignRight},
    ControlTemplate{IDC_STOP_BITS, K::DropDownList, "", 55, 80, 55, 46, kTabStop},
    ControlTemplate{kNoId, K::Label, "F&low:", 10, 96, 40, 10, kAlignRight},
    ControlTemplate{IDC_DTR_DSR, K::CheckBox, "DTR/DSR", 55, 96, 50, 10, kTabStop},
    ControlTemplate{IDC_RTS_CTS, K::CheckBox, "RTS/CTS", 55, 106, 50, 10, 0},
    ControlTemplate{IDC_XON_XOFF, K::CheckBox, "XON/XOFF", 55, 116, 50, 10, 0},
    ControlTemplate{kNoId, K::GroupBox, "&TTY Options:", 125, 5, 70, 49, kGroup},
    ControlTemplate{IDC_AUTOWRAP, K::CheckBox, "Autowrap", 135, 16, 50, 10, kTabStop},
    ControlTemplate{IDC_NEW_LINE, K::CheckBox, "New Line", 135, 26, 50, 10, 0},
    ControlTemplate{IDC_LOCAL_ECHO, K::CheckBox, "Local Echo", 135, 36, 50, 10, 0},
    ControlTemplate{kNoId, K::GroupBox, "Control &Options", 5, 132, 190, 35, 0},
    // Enabled here; the dialog's initialisation greys it out.
    ControlTemplate{IDC_CN_RECEIVE, K::CheckBox, "Use CN_RECEIVE Notifications", 10, 147, 115, 10,
                    kTabStop},
    ControlTemplate{IDC_DISPLAY_ERRORS, K::CheckBox, "Display Errors", 130, 147, 60, 10, 0},
    ControlTemplate{IDC_FONT, K::PushButton, "&Font", 165, 103, 30, 14, kGroup | kTabStop},
    ControlTemplate{IDC_SAVE, K::DefaultPushButton, "Save", 125, 103, 37, 14, kTabStop},
    ControlTemplate{IDC_DONE, K::PushButton, "Done & Exit", 133, 119, 56, 14, kTabStop},
    ControlTemplate{kNoId, K::GroupBox, "Mode", 125, 55, 70, 45, 0},
    ControlTemplate{IDC_BAUDOT, K::RadioButton, "BAUDOT", 134, 64, 46, 10, kGroup},
    ControlTemplate{IDC_ASCII, K::RadioButton, "ASCII", 134, 75, 34, 10, 0},
    ControlTemplate{IDC_TERMINAL, K::RadioButton, "Terminal (std)", 134, 86, 58, 10, 0},
};
static_assert(kSettingsControls.size() == 29 && IdsUnique(kSettingsControls));

constexpr std::uint32_t kStaticText = kNoPrefix;

constexpr std::array kAboutControls{
    // The icon's text is its resource number.
    ControlTemplate{IDC_ABOUT_ICON, K::Icon, "400", 10, 5, 20, 20, 0},
    // 529 and 530 are format templates, filled in at initialisation.
    ControlTemplate{IDC_ABOUT_VERSION, K::Label, "Tavirel v.%d.%d", 57, 5, 106, 10, kStaticText},
    ControlTemplate{IDC_ABOUT_AUTHOR, K::Label, "by Zeltor v.%02d.%02d.%03d", 57, 15, 113, 10,
                    kStaticText},
    ControlTemplate{kNoId, K::Label, "Copyright (c) the Tavirel authors", 57, 25, 145, 10,
                    kStaticText},
    ControlTemplate{IDOK, K::DefaultPushButton, "OK", 177, 5, 40, 14, 0},
    ControlTemplate{IDC_ABOUT_TEXT, K::Edit, "", 13, 56, 193, 77,
                    kMultiLine | kReadOnly | kBorder | kVScroll | kTabStop},
};
static_assert(kAboutControls.size() == 6 && IdsUnique(kAboutControls));

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
