// The settings dialog (template 101): line settings, code mode, screen
// options and the terminal font, with Save connecting when no line is open.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "resources/ids.h"

class QComboBox;
class QWidget;

namespace tavirel {

class TemplateDialog;
class TerminalWindow;
struct TtyState;

// What the dialog needs from the main window.
class SettingsHost {
  public:
    virtual ~SettingsHost() = default;
    virtual QWidget* Owner() = 0;
    // The window OpenConnection works for.
    virtual TerminalWindow* Terminal() = 0;
    // The menu's Connect item: enabled while no connection is open.
    virtual bool ConnectItemEnabled() = 0;
    // Makes the font from the record's logFont, sets the cell size, repaints.
    virtual void ApplyTerminalFont() = 0;
};

inline constexpr int kFirstDataBits = 5;
inline constexpr int kDataBitsChoices = 4;  // 5..8

// The values behind the lists, in list order; the texts are strings
// kStringFirstBaud.., kStringFirstParity.., kStringFirstStopBits...
inline constexpr std::array<std::uint32_t, 17> BaudRateTable{
    45, 50, 57, 74, 100, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 128000};
inline constexpr std::array<std::uint32_t, 5> ParityTable{0, 2, 1, 3,
                                                          4};          // None Even Odd Mark Space
inline constexpr std::array<std::uint32_t, 3> StopBitsTable{0, 1, 2};  // 1, 1.5, 2

inline constexpr char kSettingsCaption[] = "Tavirel by Quennick / Zeltor";
inline constexpr char kGivingUp[] = "Something really wrong here, I quit.";
inline constexpr std::int32_t kConnectRetries = 3;

// Failed connects from Save in a row, over every opening of the dialog.
std::int32_t& ConnectRetryCount();

class SettingsDialog {
  public:
    // Builds and fills the dialog; Dialog() is null when the template is
    // missing.
    SettingsDialog(SettingsHost& host, TtyState* state);
    ~SettingsDialog();
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    TemplateDialog* Dialog() const { return dialog_.get(); }

    void FillSettingsDialog();
    // Adds the strings firstStringId.. with the table's values as item data
    // and selects the item whose value is current (none when no value is).
    void FillValueCombo(QComboBox* list, int firstStringId, std::span<const std::uint32_t> table,
                        std::uint32_t current);
    // Stores the controls in the record and the code mode. A list with no
    // selection leaves its field as it was.
    void ReadSettingsDialog();
    // Command 1: store, connect when no connection is open, allow leaving.
    void Save();
    // Command 555; true when the operator confirmed a font and colour.
    bool ChooseTerminalFont();

  private:
    void OnCommand(int id);
    void Enable(int id, bool enabled);

    SettingsHost& host_;
    TtyState* state_;
    std::unique_ptr<TemplateDialog> dialog_;
};

// Runs the dialog modally; returns 1, 0 without a record, -1 when the dialog
// cannot be made.
int RunSettingsDialog(SettingsHost& host, TtyState* state);

}  // namespace tavirel
