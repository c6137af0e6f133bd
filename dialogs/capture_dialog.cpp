#include "dialogs/capture_dialog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dialogs/file_picker.h"
#include "dialogs/message_box.h"

namespace tavirel {

namespace {

// Under a flood the counters move a few times a second; their last values
// are always shown.
constexpr int kCounterIntervalMs = 200;

}  // namespace

CaptureDialog::CaptureDialog(QWidget* owner) : dialog_(BuildDialog(kCaptureDialog, owner)) {
    if (!dialog_)
        return;
    QObject::connect(dialog_.get(), &TemplateDialog::Command, dialog_.get(),
                     [this](int id) { OnCommand(id); });
    counterTimer_.setSingleShot(true);
    QObject::connect(&counterTimer_, &QTimer::timeout, dialog_.get(), [this] { ShowCounters(); });
    Enable(IDC_START_CAPTURE, true);
    Enable(IDC_STOP_CAPTURE, false);
    Enable(IDC_CAPTURE_NAME, true);
    dialog_->SetItemText(IDC_BYTES_READ, QStringLiteral("0"));
    dialog_->SetItemText(IDC_BYTES_SAVED, QStringLiteral("0"));
    Transfer().ResetCounters();
}

CaptureDialog::~CaptureDialog() {
    guard_.End();
}

void CaptureDialog::Enable(int id, bool enabled) {
    if (QWidget* w = dialog_->Item(id))
        w->setEnabled(enabled);
}

void CaptureDialog::OnCommand(int id) {
    switch (id) {
        case IDC_START_CAPTURE:
            StartCapture();
            break;
        case IDC_STOP_CAPTURE:
            StopCapture();
            break;
        case IDC_CAPTURE_EXIT:
            guard_.End();
            dialog_->End(1);
            break;
        default:
            break;
    }
}

void CaptureDialog::StartCapture() {
    if (guard_.Running())
        return;
    const QString name = dialog_->ItemText(IDC_CAPTURE_NAME);
    std::FILE* file = OpenNamedFile(dialog_.get(), name, kMaxFileName, "wb",
                                    QStringLiteral("Can't create file!"));
    if (file == nullptr)
        return;
    name_ = name;
    Enable(IDC_START_CAPTURE, false);
    Enable(IDC_CAPTURE_EXIT, false);
    Enable(IDC_STOP_CAPTURE, true);
    Enable(IDC_CAPTURE_NAME, false);
    guard_.Start(file, this);
}

void CaptureDialog::StopCapture() {
    Enable(IDC_CAPTURE_EXIT, true);
    Enable(IDC_STOP_CAPTURE, false);
    const bool wasRunning = guard_.Running();
    const bool closed = guard_.End();
    const int closeError = errno;
    counterTimer_.stop();
    ShowCounters();
    if (wasRunning && !closed)
        WriteFailed(closeError);
}

void CaptureDialog::WriteFailed(int error) {
    ShowMessage(dialog_.get(), QStringLiteral("%1\n%2").arg(name_, SystemError(error)),
                QStringLiteral("ERROR: Write to file failed! (disk full?)"), MessageIcon::Error);
}

void CaptureDialog::ShowCounters() {
    // The clock is read once: read twice, the wait left could come out below
    // zero, a timer Qt refuses while it calls it active.
    const qint64 since = lastShown_.isValid() ? lastShown_.elapsed() : kCounterIntervalMs;
    if (guard_.Running() && since < kCounterIntervalMs) {
        if (!counterTimer_.isActive())
            counterTimer_.start(static_cast<int>(kCounterIntervalMs - since));
        return;
    }
    lastShown_.start();
    const TransferCounters counters = Transfer().TakeCounters();
    dialog_->SetItemText(IDC_BYTES_READ, QString::number(counters.bytesRead));
    dialog_->SetItemText(IDC_BYTES_SAVED, QString::number(counters.bytesSaved));
}

void CaptureDialog::CountersChanged() {
    QMetaObject::invokeMethod(
        dialog_.get(), [this] { ShowCounters(); }, Qt::QueuedConnection);
}

void CaptureDialog::CaptureFailed(int error) {
    QMetaObject::invokeMethod(
        dialog_.get(),
        [this, error] {
            if (!guard_.Running())
                return;
            StopCapture();
            WriteFailed(error);
        },
        Qt::QueuedConnection);
}

}  // namespace tavirel
