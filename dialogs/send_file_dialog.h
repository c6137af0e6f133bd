// The Send File dialog (template 103): puts a file on the line at the line's
// own pace, with a counter of what has left the line, and an Exit that stops
// the machine at once.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "dialogs/dialog_builder.h"
#include "dialogs/message_box.h"
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
    // The window's write ends, while the dialog is up. Safe to re-enter.
    void OnWriteDone(const WriteDone& done);
    bool Sending() const { return send_ && send_->Running(); }

  private:
    void OnCommand(int id);
    void GetFile();
    void Send();
    void Exit();
    // Where the file has lone line feeds, asks whether a CR goes before
    // each: the offsets to put one before, or nothing when the operator
    // cancels.
    std::optional<std::vector<std::size_t>> AskAboutLineFeeds(std::FILE* file, const QString& name);
    void Ended(FileSend::End end, int error);
    void Tell();
    void Ready();

    struct Ending {
        QString text;
        MessageIcon icon;
    };

    TerminalWindow* terminal_;
    std::unique_ptr<TemplateDialog> dialog_;
    // Kept when the send has ended until the next one starts, so that no
    // call from inside it ever destroys it.
    std::unique_ptr<FileSend> send_;
    QString name_;  // of the file being sent
    // How the last send ended, until the operator is told.
    std::optional<Ending> untold_;
    bool closing_ = false;
};

// The names the name box lists: the folder's entries, folders included,
// without those beginning with ".", sorted without regard to case.
QStringList SendFileNames(const QString& folder);

}  // namespace tavirel
