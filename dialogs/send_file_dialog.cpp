#include "dialogs/send_file_dialog.h"

#include <QComboBox>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "dialogs/file_picker.h"
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
    std::optional<std::vector<std::size_t>> crBefore = AskAboutLineFeeds(file, name);
    if (!crBefore) {
        std::fclose(file);
        dialog_->Item(IDC_SEND)->setEnabled(true);
        dialog_->Item(IDC_SEND_NAME)->setEnabled(true);
        return;
    }
    name_ = name;
    send_ = std::make_unique<FileSend>(
        terminal_, file,
        FileSend::Events{[this](std::int64_t index) {
                             dialog_->SetItemText(IDC_BYTES_SENT, QString::number(index));
                         },
                         [this](FileSend::End end, int error) { Ended(end, error); }},
        std::move(*crBefore));
    send_->Start();
}

std::optional<std::vector<std::size_t>> SendFileDialog::AskAboutLineFeeds(std::FILE* file,
                                                                          const QString& name) {
    std::vector<std::size_t> lone = LoneLineFeedsInFile(file);
    if (lone.empty())
        return lone;
    const bool one = lone.size() == 1;
    const QString text =
        QStringLiteral(
            "%1\n%2 without a carriage return: the carriage does not go back, so the "
            "lines after %3 creep to the right.\n\nSend a carriage return before %4? No "
            "sends the file as it is.")
            .arg(name,
                 one ? QStringLiteral("1 line feed")
                     : QStringLiteral("%L1 line feeds").arg(lone.size()),
                 one ? QStringLiteral("it") : QStringLiteral("them"),
                 one ? QStringLiteral("it") : QStringLiteral("each"));
    switch (ShowMessage(dialog_.get(), text, QStringLiteral("Send File"), MessageIcon::Question,
                        MessageButtons::YesNoCancel)) {
        case IDYES:
            return lone;
        case IDNO:
            return std::vector<std::size_t>();
        default:
            return std::nullopt;
    }
}

// Runs inside the send's own calls: the dialog is made ready at once, and
// the operator told from a queued call, once the send has unwound.
void SendFileDialog::Ended(FileSend::End end, int error) {
    if (closing_)
        return;
    switch (end) {
        case FileSend::End::Done:
        case FileSend::End::Stopped:
            untold_ = Ending{QStringLiteral("Task complete"), MessageIcon::Information};
            break;
        case FileSend::End::ReadError:
            untold_ = Ending{
                QStringLiteral("%1\nThe file could not be read: %2").arg(name_, SystemError(error)),
                MessageIcon::Error};
            break;
        case FileSend::End::LineLost:
            untold_ = Ending{
                QStringLiteral("%1\nThe send stopped: the line takes nothing more.").arg(name_),
                MessageIcon::Error};
            break;
    }
    Ready();
    QMetaObject::invokeMethod(
        dialog_.get(), [this] { Tell(); }, Qt::QueuedConnection);
}

void SendFileDialog::Tell() {
    if (const std::optional<Ending> ending = std::exchange(untold_, std::nullopt))
        ShowMessage(dialog_.get(), ending->text, QStringLiteral("Send File"), ending->icon);
}

void SendFileDialog::OnWriteDone(const WriteDone& done) {
    if (send_)
        send_->OnWriteDone(done);
}

void SendFileDialog::Exit() {
    if (Sending())
        send_->Stop();
    else
        PurgeWrites(terminal_);
    // "Task complete" before the dialog goes.
    Tell();
    dialog_->End(1);
}

}  // namespace tavirel
