// The Send File dialog (template 103): puts a file on the line at the line's
// own pace, with a counter of what has left the line, and an Exit that stops
// the machine at once.
#pragma once

#include <QString>
#include <memory>

#include "dialogs/dialog_builder.h"
#include "link/file_send.h"

namespace tavirel {

class TerminalWindow;

class SendFileDialog {
  public:
    // Built and filled, not yet shown; Dialog() is null when the template is
    // missing.
    SendFileDialog(QWidget* owner, TerminalWindow* terminal);
    ~SendFileDialog();
    SendFileDialog(const SendFileDialog&) = delete;
    SendFileDialog& operator=(const SendFileDialog&) = delete;

    TemplateDialog* Dialog() const { return dialog_.get(); }
    // The window's write ends, while the dialog is up.
    void OnWriteDone(const WriteDone& done);
    bool Sending() const { return send_ && send_->Running(); }

  private:
    void OnCommand(int id);
    void GetFile();
    void Send();
    void Exit();
    void Ended(FileSend::End end, int error);
    void Ready();

    TerminalWindow* terminal_;
    std::unique_ptr<TemplateDialog> dialog_;
    std::unique_ptr<FileSend> send_;
    QString name_;  // of the file being sent
    bool closing_ = false;
};

// The names the name box lists: the folder's entries, folders included,
// without those beginning with ".", sorted without regard to case.
QStringList SendFileNames(const QString& folder);

}  // namespace tavirel
