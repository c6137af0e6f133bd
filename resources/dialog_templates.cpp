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
    // Under the labels, free below Flow; enabled while the sound card is chosen.
    ControlTemplate{IDC_SOUND, K::PushButton, "So&und...", 10, 110, 40, 14, kTabStop | kDisabled},
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
static_assert(kSettingsControls.size() == 30 && IdsUnique(kSettingsControls));

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
// Utilities (104): each group box frames a description and its "Do It".
constexpr std::array kUtilitiesControls{
    ControlTemplate{IDC_UTILITIES_EXIT, K::PushButton, "Exit", 403, 198, 50, 14, kTabStop},
    ControlTemplate{kNoId, K::Label,
                    "Clean file strips leading nulls, strips the upper three bits from each byte, "
                    "reverses the remaiing 5-bits end-to-end as they come off the reader in an "
                    "indeterminate state (5-bit tape on 8-bit reader). ",
                    19, 70, 207, 29, kStaticText},
    ControlTemplate{kNoId, K::GroupBox, "Clean (Tape cleaner)", 7, 58, 223, 64, 0},
    ControlTemplate{kNoId, K::Label,
                    "Converts the input ASCII stream to an output ASCII stream, with all "
                    "characters that do not exist in ITA2/US-TTY to their closest GRAPHICAL "
                    "equivelants that exist in ITA2.",
                    243, 136, 203, 24, kStaticText},
    ControlTemplate{kNoId, K::Label,
                    "Reads ASCII text file, converts to ASCII, and outputs the resulting "
                    "characters to file.  (It assumes character value 10 is a linefeed, but "
                    "it's TTY/ITA2).",
                    244, 70, 204, 27, kStaticText},
    ControlTemplate{kNoId, K::GroupBox, "ASCII to ITA#2 with Closest Graphical Equivalence", 235,
                    125, 218, 64, 0},
    ControlTemplate{kNoId, K::GroupBox, "ITA#2 to ASCII with Closest Graphical Equivalence", 8, 125,
                    222, 65, 0},
    ControlTemplate{kNoId, K::Label,
                    "Reads an ASCII text file, and for all characters that do not appear in the "
                    "ITA set (lower case letters, ~ ! [ ] etc) substitutes the \"next-closest\", "
                    "using page-darkness as a guide -- this is ONLY for converting ASCII art to "
                    "ITA art.",
                    18, 136, 209, 35, kStaticText},
    ControlTemplate{kNoId, K::GroupBox, "ASCII to U.S. TTY/ITA2.", 233, 58, 220, 64, 0},
    ControlTemplate{kNoId, K::Label,
                    "These converters were written for the people who keep teleprinter art "
                    "alive: to carry pictures between ASCII text, ITA2 code files and the raw "
                    "images of punched paper tape.",
                    7, 195, 352, 28, kStaticText},
    ControlTemplate{IDC_TO_ITA2, K::PushButton, "Do It", 319, 104, 50, 14, kTabStop},
    ControlTemplate{IDC_CLEAN_TAPE, K::PushButton, "Do It", 79, 104, 50, 14, kTabStop},
    ControlTemplate{IDC_ITA2_TO_ASCII, K::PushButton, "Do It", 81, 173, 50, 14, kTabStop},
    ControlTemplate{IDC_TO_ITA2_SUBSET, K::PushButton, "Do It", 324, 171, 50, 14, kTabStop},
    ControlTemplate{IDC_INPUT_PATH, K::Edit, "", 7, 41, 220, 12, kBorder | kTabStop},
    ControlTemplate{IDC_OUTPUT_PATH, K::Edit, "", 237, 41, 216, 12, kBorder | kReadOnly | kTabStop},
    ControlTemplate{kNoId, K::Label, "Input File Name", 13, 28, 50, 8, kStaticText},
    ControlTemplate{kNoId, K::Label, "Output File Name            (provided by conversion utility)",
                    241, 29, 198, 9, kStaticText},
    ControlTemplate{kNoId, K::Label,
                    "This page provides conversion utilities for various input formats.  Please "
                    "provide the required input filename and output file name including path if "
                    "required.  When ready, press the \"Do It\" button for the desired "
                    "conversion.  ",
                    7, 7, 446, 20, kStaticText},
};
static_assert(kUtilitiesControls.size() == 19 && IdsUnique(kUtilitiesControls));

constexpr DialogTemplate kUtilities{
    kUtilitiesDialog,
    "Corrow ASCII/ITA#2 Tanslation Programs",
    0,
    0,
    460,
    230,
    8,
    "MS Sans Serif",
    false,
    kUtilitiesControls,
};

// Sound (106): the sound card's devices, its tones, the steady mark around a
// transmission and what keys the transmitter.
constexpr std::array kSoundControls{
    ControlTemplate{kNoId, K::Label, "&Output:", 7, 9, 38, 8, kAlignRight},
    ControlTemplate{IDC_SOUND_OUTPUT, K::DropDownList, "", 48, 7, 165, 100, kTabStop},
    ControlTemplate{kNoId, K::Label, "&Input:", 7, 25, 38, 8, kAlignRight},
    ControlTemplate{IDC_SOUND_INPUT, K::DropDownList, "", 48, 23, 165, 100, kTabStop},
    ControlTemplate{kNoId, K::GroupBox, "Tones", 7, 40, 101, 62, 0},
    ControlTemplate{kNoId, K::Label, "&Mark (Hz):", 12, 53, 45, 8, kAlignRight},
    ControlTemplate{IDC_SOUND_MARK, K::Edit, "", 60, 51, 40, 12, kBorder | kTabStop},
    ControlTemplate{kNoId, K::Label, "S&hift (Hz):", 12, 68, 45, 8, kAlignRight},
    ControlTemplate{IDC_SOUND_SHIFT, K::Edit, "", 60, 66, 40, 12, kBorder | kTabStop},
    ControlTemplate{IDC_SOUND_NORMAL, K::RadioButton, "&Normal", 13, 85, 40, 10, kGroup | kTabStop},
    ControlTemplate{IDC_SOUND_REVERSED, K::RadioButton, "R&eversed", 56, 85, 48, 10, 0},
    ControlTemplate{kNoId, K::GroupBox, "Transmit", 113, 40, 100, 62, kGroup},
    ControlTemplate{kNoId, K::Label, "&Lead-in (s):", 118, 53, 45, 8, kAlignRight},
    ControlTemplate{IDC_SOUND_LEAD_IN, K::Edit, "", 166, 51, 40, 12, kBorder | kTabStop},
    ControlTemplate{kNoId, K::Label, "&Tail (s):", 118, 68, 45, 8, kAlignRight},
    ControlTemplate{IDC_SOUND_TAIL, K::Edit, "", 166, 66, 40, 12, kBorder | kTabStop},
    ControlTemplate{kNoId, K::GroupBox, "Push-to-talk", 7, 105, 206, 30, kGroup},
    ControlTemplate{IDC_PTT_NONE, K::RadioButton, "None (&VOX)", 13, 118, 52, 10,
                    kGroup | kTabStop},
    ControlTemplate{IDC_PTT_RTS, K::RadioButton, "&RTS", 68, 118, 30, 10, 0},
    ControlTemplate{IDC_PTT_DTR, K::RadioButton, "&DTR", 100, 118, 30, 10, 0},
    ControlTemplate{kNoId, K::Label, "&Port:", 132, 119, 22, 8, kAlignRight | kGroup},
    ControlTemplate{IDC_PTT_PORT, K::DropDownList, "", 157, 116, 50, 100, kTabStop},
    ControlTemplate{IDOK, K::DefaultPushButton, "OK", 110, 141, 50, 14, kGroup | kTabStop},
    ControlTemplate{IDCANCEL, K::PushButton, "Cancel", 163, 141, 50, 14, kTabStop},
};
static_assert(kSoundControls.size() == 24 && IdsUnique(kSoundControls));

// With a system menu: Escape and the close box cancel.
constexpr DialogTemplate kSound{
    kSoundDialog, "Sound Card", 0, 0, 220, 162, 8, "MS Sans Serif", true, kSoundControls,
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
        case kUtilitiesDialog:
            return &kUtilities;
        case kSoundDialog:
            return &kSound;
        default:
            return nullptr;
    }
}

}  // namespace tavirel
