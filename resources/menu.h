// Menu 300 and accelerator table 200 of the main window.
#pragma once

#include <span>

namespace tavirel {

inline constexpr int CMD_CONNECT = 256;
inline constexpr int CMD_DISCONNECT = 257;
inline constexpr int CMD_EXIT = 258;
inline constexpr int CMD_SETTINGS = 259;
inline constexpr int CMD_ABOUT = 260;
inline constexpr int CMD_SEND_FILE = 261;
inline constexpr int CMD_PICTURE_EDIT = 262;
inline constexpr int CMD_CAPTURE = 40001;
inline constexpr int CMD_UTILITIES = 40002;

inline constexpr int kMainMenu = 300;
inline constexpr int kMainAccelerators = 200;
inline constexpr int kMainIcon = 400;
inline constexpr int kTerminalBitmap = 500;

struct MenuItem {
    const char* label;  // "&Connect\tShift+PgUp": the text after the tab is the shortcut text
    int command;        // 0 for a separator
};

struct MenuEntry {
    const char* label;
    int command;  // a command of its own, or 0 for a drop-down of items
    std::span<const MenuItem> items;
};

std::span<const MenuEntry> MainMenu();

// Virtual keys as the accelerator table names them; all with Shift.
enum class AcceleratorKey { PageUp, PageDown, F1 };

struct Accelerator {
    AcceleratorKey key;
    bool shift;
    int command;
};

std::span<const Accelerator> MainAccelerators();

}  // namespace tavirel
