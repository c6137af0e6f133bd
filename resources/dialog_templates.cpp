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
    ControlTemplate{kNoId, K::Label, "Copyright (c) the Tavirel developers", 57, 25, 145, 10,
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

constexpr std::array kCaptureControls{
    ControlTemplate{kNoId, K::Label, "Enter Capture Filename", 7, 9, 154, 10, kStaticText},
    ControlTemplate{IDC_CAPTURE_NAME, K::Edit, "", 7, 21, 172, 14, kBorder | kTabStop},
    ControlTemplate{IDC_CAPTURE_EXIT, K::PushButton, "Exit", 7, 38, 37, 14, kTabStop},
    ControlTemplate{IDC_START_CAPTURE, K::PushButton, "Start Capture", 59, 38, 53, 15, kTabStop},
    ControlTemplate{IDC_STOP_CAPTURE, K::DefaultPushButton, "Stop Capture", 128, 38, 51, 15,
                    kTabStop | kDisabled},
    ControlTemplate{kNoId, K::Label, "Bytes Read", 12, 56, 21, 18, kStaticText},
    ControlTemplate{IDC_BYTES_READ, K::Edit, "0", 37, 58, 52, 13,
                    kReadOnly | kAlignRight | kBorder},
    ControlTemplate{kNoId, K::Label, "Bytes Saved", 99, 56, 24, 18, kStaticText},
    ControlTemplate{IDC_BYTES_SAVED, K::Edit, "0", 127, 58, 52, 12,
                    kReadOnly | kAlignRight | kBorder},
};
static_assert(kCaptureControls.size() == 9 && IdsUnique(kCaptureControls));

constexpr std::array kSendFileControls{
    ControlTemplate{kNoId, K::Label, "Enter Filename to Send", 12, 9, 87, 11, kStaticText},
    ControlTemplate{kNoId, K::Label, "Bytes Sent", 174, 5, 22, 18, kStaticText},
    ControlTemplate{IDC_BYTES_SENT, K::Edit, "0", 204, 7, 57, 15,
                    kReadOnly | kAlignRight | kBorder},
    ControlTemplate{IDC_SEND_NAME, K::ComboBox, "", 7, 28, 254, 100, kVScroll | kTabStop},
    ControlTemplate{IDC_GET_FILE, K::PushButton, "Get File", 7, 50, 50, 14, kTabStop},
    ControlTemplate{IDC_SEND, K::DefaultPushButton, "Send", 91, 48, 50, 14, kTabStop},
    ControlTemplate{IDC_SEND_EXIT, K::PushButton, "Exit", 161, 48, 50, 14, kTabStop},
};
static_assert(kSendFileControls.size() == 7 && IdsUnique(kSendFileControls));

// Without a system menu: no close box, and Escape does nothing.
constexpr DialogTemplate kCapture{
    kCaptureDialog, "Capture Data to Disk", 0, 0, 187, 82, 8, "MS Sans Serif",
    false,          kCaptureControls,
};

constexpr DialogTemplate kSendFile{
    kSendFileDialog, "Send File (RAW)", 0, 0, 268, 71, 8, "MS Sans Serif", false, kSendFileControls,
};

// The picture editor: one fixed-pitch font for the whole dialog, so the ruler
// above the edit box counts its columns. The OK button and the list are never
// shown.
constexpr std::array kPictureEditorControls{
    ControlTemplate{IDC_LOAD_FILE, K::PushButton, "Load File", 7, 6, 50, 14, kTabStop},
    ControlTemplate{IDC_LOADED_PATH, K::Edit, "", 61, 6, 271, 14, kBorder | kTabStop},
    ControlTemplate{IDC_SAVE_FILE, K::PushButton, "Save File", 7, 23, 50, 14, kTabStop},
    ControlTemplate{IDC_SAVE_PATH, K::Edit, "", 61, 24, 271, 14, kBorder | kTabStop},
    ControlTemplate{IDC_EDITOR_EXIT, K::PushButton, "Quit / Exit", 338, 6, 50, 14, kTabStop},
    ControlTemplate{IDC_EDITOR_OK, K::DefaultPushButton, "OK", 338, 21, 50, 14, kHidden},
    ControlTemplate{IDC_EDITOR_LIST, K::DropDownList, "", 60, 6, 87, 189, kHidden},
    ControlTemplate{kNoId, K::GroupBox, "Special Chars", 115, 41, 109, 21, 0},
    ControlTemplate{kNoId, K::Label, "'<' = CR", 126, 50, 33, 8, kStaticText},
    ControlTemplate{kNoId, K::Label, "'^' = LF", 175, 50, 33, 8, kStaticText},
    ControlTemplate{kNoId, K::Label,
                    "0        1         2         3         4         5         6         7    "
                    "     8         9",
                    7, 63, 381, 8, kStaticText},
    ControlTemplate{kNoId, K::Label,
                    "123456789012345678901234567890123456789012345678901234567890123456789012"
                    "345678901234567890",
                    7, 73, 381, 8, kStaticText},
    ControlTemplate{IDC_PICTURE_TEXT, K::Edit, "", 7, 84, 381, 264,
                    kMultiLine | kBorder | kVScroll | kTabStop},
};
static_assert(kPictureEditorControls.size() == 13 && IdsUnique(kPictureEditorControls));

constexpr DialogTemplate kPictureEditor{
    kPictureEditorDialog,
    "Tavirel  BAUDOT Picture Editor (with overstrike support)",
    0,
    0,
    395,
    355,
    9,
    "Courier New",
    false,
    kPictureEditorControls,
};
}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
        case kAboutDialog:
            return &kAbout;
        case kSettingsDialog:
            return &kSettings;
        case kCaptureDialog:
            return &kCapture;
        case kSendFileDialog:
            return &kSendFile;
        case kPictureEditorDialog:
            return &kPictureEditor;
        default:
            return nullptr;
    }
}

}  // namespace tavirel
