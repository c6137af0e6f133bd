#include "dialogs/send_file_dialog.h"

#include <QComboBox>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dialogs/file_picker.h"
#include "dialogs/message_box.h"
#include "link/port_io.h"

namespace tavirel {

QStringList SendFileNames(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                               QDir::NoDotAndDotDot);
    names.removeIf([](const QString& name) { return name.startsWith(u'.'); });
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

SendFileDialog::SendFileDialog(QWidget* owner, TerminalWindow* terminal)
    : terminal_(terminal), dialog_(BuildDialog(kSendFileDialog, owner)) {
    if (!dialog_)
        return;
    QObject::connect(dialog_.get(), &TemplateDialog::Command, dialog_.get(),
                     [this](int id) { OnCommand(id); });
    if (auto* box = dialog_->ItemAs<QComboBox>(IDC_SEND_NAME))
        box->addItems(SendFileNames(QStringLiteral(".")));
    Ready();
}

SendFileDialog::~SendFileDialog() {
    // Leaving with a send running (the program quitting) stops the line too,
    // without a message nobody is there to answer.
    closing_ = true;
    if (send_)
        send_->Stop();
}

void SendFileDialog::Ready() {
    dialog_->SetItemText(IDC_SEND_NAME, {});
    dialog_->Item(IDC_SEND_NAME)->setEnabled(true);
    dialog_->Item(IDC_SEND)->setEnabled(true);
    dialog_->SetItemText(IDC_BYTES_SENT, QStringLiteral("0"));
}

void SendFileDialog::OnCommand(int id) {
    switch (id) {
        case IDC_GET_FILE:
            GetFile();
            break;
        case IDC_SEND:
            Send();
            break;
        case IDC_SEND_EXIT:
            Exit();
            break;
        default:
            break;
    }
}

void SendFileDialog::GetFile() {
    if (const std::optional<QString> path = PickFileName(dialog_.get(), kMaxFileName))
        dialog_->SetItemText(IDC_SEND_NAME, *path);
}

void SendFileDialog::Send() {
    if (Sending())
        return;
    const QString name = dialog_->ItemText(IDC_SEND_NAME);
    std::FILE* file =
        OpenNamedFile(dialog_.get(), name, kMaxFileName, "rb", QStringLiteral("Can't Open file!"));
    if (file == nullptr)
        return;
    dialog_->Item(IDC_SEND)->setEnabled(false);
    dialog_->Item(IDC_SEND_NAME)->setEnabled(false);
    name_ = name;
    send_ = std::make_unique<FileSend>(
        terminal_, file,
        FileSend::Events{[this](std::int64_t index) {
                             dialog_->SetItemText(IDC_BYTES_SENT, QString::number(index));
                         },
                         [this](FileSend::End end, int error) { Ended(end, error); }});
    send_->Start();
}

void SendFileDialog::Ended(FileSend::End end, int error) {
    if (closing_)
        return;
    switch (end) {
        case FileSend::End::Done:
        case FileSend::End::Stopped:
            ShowMessage(dialog_.get(), QStringLiteral("Task complete"), QStringLiteral("Send File"),
                        MessageIcon::Information);
            break;
        case FileSend::End::ReadError:
            ShowMessage(
                dialog_.get(),
                QStringLiteral("%1\nThe file could not be read: %2").arg(name_, SystemError(error)),
                QStringLiteral("Send File"), MessageIcon::Error);
            break;
        case FileSend::End::LineLost:
            ShowMessage(
                dialog_.get(),
                QStringLiteral("%1\nThe send stopped: the line takes nothing more.").arg(name_),
                QStringLiteral("Send File"), MessageIcon::Error);
            break;
    }
    Ready();
}

void SendFileDialog::OnWriteDone(const WriteDone& done) {
    if (!send_)
        return;
    send_->OnWriteDone(done);
    if (!send_->Running())
        send_.reset();
}

void SendFileDialog::Exit() {
    if (Sending()) {
        send_->Stop();
        send_.reset();
    } else {
        PurgeWrites(terminal_);
    }
    dialog_->End(1);
}

}  // namespace tavirel
