#include "terminal/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>
#include <filesystem>
#include <new>
#include <system_error>

#include "code/line_ends.h"
#include "dialogs/about_dialog.h"
#include "dialogs/capture_dialog.h"
#include "dialogs/message_box.h"
#include "dialogs/picture_editor.h"
#include "dialogs/send_file_dialog.h"
#include "dialogs/utilities_dialog.h"
#include "link/connection.h"
#include "link/line_settings.h"
#include "link/port.h"
#include "link/port_io.h"
#include "link/process_state.h"
#include "link/sender.h"
#include "resources/images.h"
#include "resources/menu.h"

namespace tavirel {

namespace {

QKeySequence SequenceFor(const Accelerator& a) {
    Qt::Key key = Qt::Key_unknown;
    switch (a.key) {
        case AcceleratorKey::PageUp:
            key = Qt::Key_PageUp;
            break;
        case AcceleratorKey::PageDown:
            key = Qt::Key_PageDown;
            break;
        case AcceleratorKey::F1:
            key = Qt::Key_F1;
            break;
    }
    return QKeySequence(a.shift ? QKeyCombination(Qt::ShiftModifier, key) : QKeyCombination(key));
}

}  // namespace

std::unique_ptr<MainWindow> MainWindow::Create() {
    std::unique_ptr<TtyState> state(new (std::nothrow) TtyState);
    if (!state || !CreateLinkEvents(*state))
        return nullptr;
    return std::unique_ptr<MainWindow>(new MainWindow(std::move(state)));
}

MainWindow::MainWindow(std::unique_ptr<TtyState> state) : state_(std::move(state)) {
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setWindowIcon(QIcon(QString::fromLatin1(kMainIconPath)));
    state_->terminalWindow = this;
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    view_ = new TerminalView(central);
    view_->SetState(state_.get());
    column->addWidget(view_, 1);
    waterfall_ = new Waterfall(TheSoundMonitor(), central);
    waterfall_->SetSettings(&state_->sound);
    waterfall_->setVisible(state_->portNumber == kSoundCardPort);
    column->addWidget(waterfall_);
    setCentralWidget(central);
    BuildMenu();
    BuildStatusBar();
    ApplyFont(view_, state_.get());
    ConnectionChanged(false);
    view_->setFocus();
}

MainWindow::~MainWindow() {
    if (state_->connected.load())
        CloseConnection(this);
    waterfall_->SetSettings(nullptr);
    view_->SetState(nullptr);
}

void MainWindow::BuildMenu() {
    auto add = [this](QAction* action, int command) {
        action->setData(command);
        actions_[command] = action;
        connect(action, &QAction::triggered, this, [this, command] { Command(command); });
    };
    for (const MenuEntry& entry : MainMenu()) {
        const QString label = QString::fromLatin1(entry.label);
        if (entry.command != 0) {
            add(menuBar()->addAction(label), entry.command);
            continue;
        }
        QMenu* menu = menuBar()->addMenu(label);
        for (const MenuItem& item : entry.items) {
            if (item.command == 0) {
                menu->addSeparator();
            } else {
                add(menu->addAction(QString::fromLatin1(item.label)), item.command);
            }
        }
    }
    // Like the menu, an accelerator does nothing while its item is grayed.
    for (const Accelerator& a : MainAccelerators()) {
        auto* shortcut = new QShortcut(SequenceFor(a), this);
        const int command = a.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] {
            if (QAction* action = Action(command); action == nullptr || action->isEnabled())
                Command(command);
        });
    }
}

void MainWindow::BuildStatusBar() {
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    // A long line is cut at the window's edge rather than holding the window wide.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status_, 1);
    QAction* toggle = Action(CMD_STATUS_BAR);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    // A right click on the bar or on the screen offers the same switch.
    for (QWidget* w : {static_cast<QWidget*>(statusBar()), static_cast<QWidget*>(view_)}) {
        w->addAction(toggle);
        w->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    ShowStatus();
}

void MainWindow::ShowStatusBar(bool shown) {
    QStatusBar* bar = statusBar();
    if (bar->isHidden() != shown)
        return;
    const int change = shown ? bar->sizeHint().height() : -bar->height();
    bar->setVisible(shown);
    Action(CMD_STATUS_BAR)->setChecked(shown);
    if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(width(), height() + change);
    ShowStatus();
}

void MainWindow::LineSettingsChanged() {
    waterfall_->Sync();
    ShowWaterfall(state_->portNumber == kSoundCardPort);
    statusPort_.clear();
    ScheduleStatus();
}

void MainWindow::ShowWaterfall(bool shown) {
    if (waterfall_->isHidden() != shown)
        return;
    const int change = shown ? waterfall_->sizeHint().height() : -waterfall_->height();
    waterfall_->setVisible(shown);
    if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(width(), height() + change);
}

void MainWindow::ScheduleStatus() {
    if (statusPending_)
        return;
    statusPending_ = true;
    QMetaObject::invokeMethod(this, &MainWindow::ShowStatus, Qt::QueuedConnection);
}

void MainWindow::ShowStatus() {
    statusPending_ = false;
    if (statusBar()->isHidden())
        return;
    const TtyState& s = *state_;
    StatusFacts facts;
    facts.connected = s.connected.load() != 0;
    facts.port = PortName(s.portNumber);
    if (facts.port != statusPort_) {
        // A name under /dev/serial/by-id/ is long; the device it ends at is
        // what the operator knows.
        std::error_code ec;
        statusDevice_ =
            std::filesystem::weakly_canonical(DeviceNamed(facts.port, s.sound), ec).string();
        if (ec)
            statusDevice_ = DeviceNamed(facts.port, s.sound);
        statusPort_ = facts.port;
    }
    facts.device = statusDevice_;
    facts.baudRate = s.baudRate;
    facts.byteSize = s.byteSize;
    facts.parity = s.parity;
    facts.stopBits = s.stopBits;
    facts.mode = CodeMode.load();
    facts.shift = Process().sender.lastShiftSent.load();
    if (transfer_)
        std::tie(facts.transfer, facts.count) = transfer_();
    status_->setText(QString::fromStdString(StatusText(facts)));
}

void MainWindow::RunTransfer(TemplateDialog* dialog,
                             std::function<std::pair<TransferKind, std::int64_t>()> now) {
    transfer_ = std::move(now);
    // Its buttons start and stop the transfer; its counters move with the
    // write ends and the received characters.
    connect(dialog, &TemplateDialog::Command, this, &MainWindow::ScheduleStatus);
    dialog->exec();
    transfer_ = nullptr;
    ScheduleStatus();
}

QAction* MainWindow::Action(int command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::Command(int command) {
    switch (command) {
        case CMD_CONNECT: {
            OpenFailure failure;
            if (OpenConnection(this, &failure) == 0)
                ShowMessage(this, QString::fromStdString(ConnectionFailedText(failure)),
                            QString::fromLatin1(kMainCaption), MessageIcon::Warning);
            break;
        }
        case CMD_DISCONNECT:
            HideTerminalCaret(view_);
            CloseConnection(this);
            break;
        case CMD_EXIT:
            close();
            break;
        case CMD_SETTINGS:
            RunSettingsDialog(*this, state_.get());
            LineSettingsChanged();
            if (state_->connected.load() && SetupConnection(state_.get()) == 0) {
                ShowMessage(this, QStringLiteral("Settings failed!"),
                            QString::fromLatin1(kMainCaption), MessageIcon::Warning);
            }
            break;
        case CMD_ABOUT:
            RunAboutDialog(this);
            break;
        case CMD_SEND_FILE: {
            if (!state_->connected.load())
                break;
            SendFileDialog dialog(this, this);
            if (dialog.Dialog() == nullptr)
                break;
            connect(this, &MainWindow::WriteDone, dialog.Dialog(),
                    [&dialog](quint64 id, qint64 bytesSent, int how) {
                        dialog.OnWriteDone(
                            {id, static_cast<std::size_t>(bytesSent), static_cast<WriteEnd>(how)});
                    });
            RunTransfer(dialog.Dialog(), [&dialog] {
                if (!dialog.Sending())
                    return std::pair(TransferKind::None, std::int64_t{0});
                return std::pair(
                    TransferKind::Send,
                    std::int64_t{dialog.Dialog()->ItemText(IDC_BYTES_SENT).toLongLong()});
            });
            break;
        }
        case CMD_CAPTURE: {
            if (!state_->connected.load())
                break;
            CaptureDialog dialog(this);
            if (dialog.Dialog() == nullptr)
                break;
            RunTransfer(dialog.Dialog(), [&dialog] {
                if (!dialog.Capturing())
                    return std::pair(TransferKind::None, std::int64_t{0});
                return std::pair(TransferKind::Capture, std::int64_t{Transfer().BytesSaved()});
            });
            break;
        }
        case CMD_PICTURE_EDIT:
            RunPictureEditor(this, state_.get());
            break;
        case CMD_UTILITIES:
            RunUtilitiesDialog(this);
            break;
        case CMD_STATUS_BAR:
            ShowStatusBar(statusBar()->isHidden());
            break;
        default:
            break;
    }
}

int MainWindow::WriteToScreen(const char* text, std::int32_t length) {
    return tavirel::WriteToScreen(view_, text, length);
}

void MainWindow::ShowTerminalCaret() {
    tavirel::ShowTerminalCaret(view_);
}

void MainWindow::SetWaitCursor(bool waiting) {
    if (waiting) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::ConnectionChanged(bool connected) {
    const std::pair<int, bool> rows[] = {{CMD_DISCONNECT, connected},
                                         {CMD_CONNECT, !connected},
                                         {CMD_SEND_FILE, connected},
                                         {CMD_CAPTURE, connected}};
    for (const auto& [command, enabled] : rows) {
        if (QAction* action = Action(command))
            action->setEnabled(enabled);
    }
    statusPort_.clear();
    ScheduleStatus();
}

bool MainWindow::ConnectItemEnabled() {
    QAction* connect = Action(CMD_CONNECT);
    return connect != nullptr && connect->isEnabled();
}

void MainWindow::ApplyTerminalFont() {
    ApplyFont(view_, state_.get());
}

// Any thread; the queue asks at most once until it is emptied, so a flood
// costs one event per batch.
void MainWindow::WakeReceived() {
    QMetaObject::invokeMethod(this, &MainWindow::TakeReceived, Qt::QueuedConnection);
}

// Everything that waits goes to the screen in one go; the view paints it
// with the next frame.
void MainWindow::TakeReceived() {
    state_->received.TakeAll(taken_);
    tavirel::WriteToScreen(view_, taken_.data(), static_cast<std::int32_t>(taken_.size()));
    // A capture has counted them by now.
    if (transfer_)
        ScheduleStatus();
}

void MainWindow::PostErrorMark(const std::string& text) {
    if (state_->received.PutNow(text.data(), text.size()))
        WakeReceived();
}

void MainWindow::PostMessageBox(const std::string& text, const std::string& caption) {
    QMetaObject::invokeMethod(
        this,
        [text, caption] {
            ShowMessage(nullptr, QString::fromStdString(text), QString::fromStdString(caption),
                        MessageIcon::Warning);
        },
        Qt::QueuedConnection);
}

// The writer posts a few per character time at most: one queued call each.
void MainWindow::PostWriteDone(const tavirel::WriteDone& done) {
    QMetaObject::invokeMethod(
        this,
        [this, done] {
            // A send counts it; a purge forgets the shift.
            ScheduleStatus();
            emit WriteDone(done.id, static_cast<qint64>(done.bytesSent),
                           static_cast<int>(done.how));
        },
        Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ShowMessage(this, QString::fromLatin1(kCloseQuestion), QStringLiteral("Tavirel"),
                    MessageIcon::Question, MessageButtons::OkCancel) != IDOK) {
        event->ignore();
        return;
    }
    CloseConnection(this);
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const auto mods = event->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
    const QString text = event->text();
    if (mods == Qt::AltModifier) {
        // Alt with a key never opens a menu; four of them work the modem lines.
        if (text.size() == 1)
            LineControlKey(text[0].toLatin1());
        return;
    }
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            continue;  // no byte for it
        const auto byte = static_cast<quint8>(c.unicode());
        SendKeyChar(this, byte);
        emit CharacterTyped(byte);
    }
    ScheduleStatus();  // the shift may have changed
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Insert && !event->isAutoRepeat())
        Paste();
}

// The desktop's clipboard ends lines with LF alone; the machine needs CR LF.
// In BAUDOT mode the text is encoded as if typed (shifts added, no LF added
// after CR, echoed as typed characters are); otherwise it is shown and goes
// out unchanged in one write.
void MainWindow::Paste() {
    if (!state_->connected.load())
        return;
    QByteArray latin1 = QGuiApplication::clipboard()->text().toLatin1();
    if (const auto nul = latin1.indexOf('\0'); nul >= 0)
        latin1.truncate(nul);
    const std::string text =
        LoneLfToCrLf(std::string_view(latin1.constData(), static_cast<std::size_t>(latin1.size())));
    if (text.empty())
        return;
    ScheduleStatus();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    if (CodeMode.load() == ModeBaudot) {
        SendTextBlock(this, bytes, length);
        return;
    }
    tavirel::WriteToScreen(view_, text.data(), length);
    WriteCommBlock(this, bytes, length);
}

void MainWindow::LineControlKey(char ch) {
    if (!state_->connected.load() || !state_->commHandle)
        return;
    Port& port = *state_->commHandle;
    switch (ch) {
        case 'p':
            port.SetDtr(false);
            break;
        case 'q':
            port.SetDtr(true);
            break;
        case 'r':
            port.SetRts(false);
            break;
        case 's':
            port.SetRts(true);
            break;
        default:
            break;
    }
}

}  // namespace tavirel
