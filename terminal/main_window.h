// The program's one window: the menu, the terminal screen, the keyboard
// paths to the line, and the record of the terminal and its line.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "dialogs/settings_dialog.h"
#include "link/terminal_window.h"
#include "link/tty_state.h"
#include "terminal/status_line.h"
#include "terminal/terminal_view.h"
#include "terminal/waterfall.h"

class QAction;
class QLabel;

namespace tavirel {

class TemplateDialog;

inline constexpr char kMainCaption[] = "Tavirel by Quennick / Zeltor";
inline constexpr char kCloseQuestion[] = "OK to close window?";

class MainWindow : public QMainWindow, public TerminalWindow, public SettingsHost {
    Q_OBJECT
  public:
    // Null when the record or its wake-up events cannot be made; the program
    // then ends quietly.
    static std::unique_ptr<MainWindow> Create();
    ~MainWindow() override;

    TerminalView* View() { return view_; }
    Waterfall* WaterfallPanel() { return waterfall_; }
    // The menu item or command of this number; null for none.
    QAction* Action(int command) const;
    // Carries out a menu command.
    void Command(int command);
    // The record's line settings changed (the Settings dialog, or a caller
    // that set them): the waterfall, the status bar and the window follow.
    void LineSettingsChanged();

    // TerminalWindow
    TtyState* State() override { return state_.get(); }
    int WriteToScreen(const char* text, std::int32_t length) override;
    void ShowTerminalCaret() override;
    void SetWaitCursor(bool waiting) override;
    void ConnectionChanged(bool connected) override;
    void WakeReceived() override;
    void PostErrorMark(const std::string& text) override;
    void PostMessageBox(const std::string& text, const std::string& caption) override;
    void PostWriteDone(const tavirel::WriteDone& done) override;

    // SettingsHost
    QWidget* Owner() override { return this; }
    TerminalWindow* Terminal() override { return this; }
    bool ConnectItemEnabled() override;
    void ApplyTerminalFont() override;

  signals:
    // Every typed character, sent or not.
    void CharacterTyped(quint8 ch);
    // A write to the line ended, or timed out: its id from WriteCommBlock,
    // the bytes that left the line and how (a WriteEnd). On this thread.
    void WriteDone(quint64 id, qint64 bytesSent, int how);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    explicit MainWindow(std::unique_ptr<TtyState> state);
    void BuildMenu();
    void BuildStatusBar();
    // The screen keeps its size: the window grows or shrinks by the bar.
    void ShowStatusBar(bool shown);
    // Under the screen while the sound card is the line; the screen keeps
    // its size.
    void ShowWaterfall(bool shown);
    // The status bar catches up once the events at hand are handled.
    void ScheduleStatus();
    void ShowStatus();
    // Runs a transfer dialog, whose progress the status bar follows.
    void RunTransfer(TemplateDialog* dialog,
                     std::function<std::pair<TransferKind, std::int64_t>()> now);
    void Paste();
    void LineControlKey(char ch);
    void TakeReceived();

    std::unique_ptr<TtyState> state_;
    TerminalView* view_ = nullptr;
    Waterfall* waterfall_ = nullptr;
    std::map<int, QAction*> actions_;
    std::string taken_;  // the last batch taken from the receive queue
    QLabel* status_ = nullptr;
    bool statusPending_ = false;
    // Where the port leads, read again only when the line or its settings change.
    std::string statusPort_, statusDevice_;
    // While a transfer dialog is up: what it is doing and its counter.
    std::function<std::pair<TransferKind, std::int64_t>()> transfer_;
};

}  // namespace tavirel
