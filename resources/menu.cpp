#include "resources/menu.h"

#include <array>

namespace tavirel {

namespace {

constexpr std::array kActionItems{
    MenuItem{"&Connect\tShift+PgUp", CMD_CONNECT},
    MenuItem{"&Disconnect\tShift+PgDn", CMD_DISCONNECT},
    MenuItem{"", 0},
    MenuItem{"E&xit", CMD_EXIT},
};

constexpr std::array kTransferItems{
    MenuItem{"Send File . . .\tShift+F1", CMD_SEND_FILE},
    MenuItem{"Capture Files to Disk . . .", CMD_CAPTURE},
    MenuItem{"Corrow Utilities . . .", CMD_UTILITIES},
};

constexpr std::array kViewItems{
    MenuItem{"&Status Bar", CMD_STATUS_BAR},
};

constexpr std::array kMenu{
    MenuEntry{"&Action", 0, kActionItems},     MenuEntry{"&Settings...", CMD_SETTINGS, {}},
    MenuEntry{"&Transfer", 0, kTransferItems}, MenuEntry{"PictureEdit", CMD_PICTURE_EDIT, {}},
    MenuEntry{"&View", 0, kViewItems},         MenuEntry{"A&bout", CMD_ABOUT, {}},
};

// The window finds each command's item by its number: no two may share one.
constexpr bool CommandsUnique() {
    std::array<int, 32> commands{};
    std::size_t n = 0;
    for (const MenuEntry& entry : kMenu) {
        commands[n++] = entry.command;
        for (const MenuItem& item : entry.items)
            commands[n++] = item.command;
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (commands[i] != 0 && commands[i] == commands[j])
                return false;
        }
    }
    return true;
}
static_assert(CommandsUnique());

constexpr std::array kAccelerators{
    Accelerator{AcceleratorKey::PageUp, true, CMD_CONNECT},
    Accelerator{AcceleratorKey::PageDown, true, CMD_DISCONNECT},
    Accelerator{AcceleratorKey::F1, true, CMD_SEND_FILE},
};

}  // namespace

std::span<const MenuEntry> MainMenu() {
    return kMenu;
}

std::span<const Accelerator> MainAccelerators() {
    return kAccelerators;
}

}  // namespace tavirel
