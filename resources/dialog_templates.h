// Dialog templates as data: every control with its id, kind, text, style and
// position in dialog units. One builder (dialogs/dialog_builder.h) makes the
// widgets from them.
#pragma once

#include <cstdint>
#include <span>

#include "resources/ids.h"

namespace tavirel {

enum class ControlKind {
    GroupBox,
    Label,         // static text
    DropDownList,  // drop-down list (not editable); height is the dropped list's
    CheckBox,      // toggles itself
    RadioButton,   // automatic radio button
    PushButton,
    DefaultPushButton,
    Icon,  // static icon; text is the icon's resource number
    Edit,  // edit box
    // Edit field over a drop-down list; height is the dropped list's.
    ComboBox,
};

// Style bits.
inline constexpr std::uint32_t kTabStop = 1u << 0;
inline constexpr std::uint32_t kGroup = 1u << 1;  // starts a group
inline constexpr std::uint32_t kDisabled = 1u << 2;
inline constexpr std::uint32_t kHidden = 1u << 3;
inline constexpr std::uint32_t kAlignRight = 1u << 4;
inline constexpr std::uint32_t kNoPrefix = 1u << 5;  // "&" is shown, not a mnemonic
inline constexpr std::uint32_t kMultiLine = 1u << 6;
inline constexpr std::uint32_t kReadOnly = 1u << 7;
inline constexpr std::uint32_t kBorder = 1u << 8;
inline constexpr std::uint32_t kVScroll = 1u << 9;

inline constexpr int kNoId = -1;  // controls the program never addresses

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;  // dialog units
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int x, y, cx, cy;  // dialog units
    int pointSize;
    const char* face;
    bool systemMenu;                            // without one: no close box, Escape does nothing
    std::span<const ControlTemplate> controls;  // in tab order
};

// Null for an unknown id.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace tavirel
