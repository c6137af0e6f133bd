// The program's one window: the terminal screen and, around it, the record of
// the terminal and its line.
#pragma once

#include <QMainWindow>
#include <memory>

#include "link/tty_state.h"
#include "terminal/terminal_view.h"

namespace tavirel {

inline constexpr char kMainCaption[] = "Tavirel by Quennick / Zeltor";

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    TtyState* State() { return state_.get(); }
    TerminalView* View() { return view_; }

  private:
    std::unique_ptr<TtyState> state_;
    TerminalView* view_ = nullptr;
};

}  // namespace tavirel
