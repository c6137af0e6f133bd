// Menu 300 and accelerator table 200 of the main window.
#pragma once

#include <span>

#include "resources/ids.h"

namespace tavirel {

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
