// The Capture dialog (template 102): what arrives on the line goes to a file,
// appended by the reader thread, with the two counters shown as it goes. One
// capture per opening.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <memory>

#include "dialogs/dialog_builder.h"
#include "link/transfer_state.h"

namespace tavirel {

class CaptureDialog : public ProgressDialog {
  public:
    explicit CaptureDialog(QWidget* owner);
    ~CaptureDialog() override;
    CaptureDialog(const CaptureDialog&) = delete;
    CaptureDialog& operator=(const CaptureDialog&) = delete;

    TemplateDialog* Dialog() const { return dialog_.get(); }
    bool Capturing() const { return guard_.Running(); }

    // Reader thread.
    void CountersChanged() override;
    void CaptureFailed(int error) override;

  private:
    void OnCommand(int id);
    void StartCapture();
    void StopCapture();
    void WriteFailed(int error);
    void ShowCounters();
    void Enable(int id, bool enabled);

    std::unique_ptr<TemplateDialog> dialog_;
    QTimer counterTimer_;
    QElapsedTimer lastShown_;
    QString name_;
    // Last, so the capture ends before the dialog the reader posts to goes.
    TransferGuard guard_;
};

}  // namespace tavirel
