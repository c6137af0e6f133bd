#include "terminal/main_window.h"

namespace tavirel {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), state_(std::make_unique<TtyState>()) {
    setWindowTitle(QString::fromLatin1(kMainCaption));
    view_ = new TerminalView(this);
    view_->SetState(state_.get());
    setCentralWidget(view_);
    ApplyFont(view_, state_.get());
    view_->setFocus();
}

MainWindow::~MainWindow() {
    view_->SetState(nullptr);
}

}  // namespace tavirel
