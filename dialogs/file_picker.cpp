#include "dialogs/file_picker.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <utility>

#include "dialogs/message_box.h"

namespace tavirel {

namespace {

FilePicker& Picker() {
    static FilePicker picker;
    return picker;
}

}  // namespace

std::optional<QString> PickFile(QWidget* owner, const FilePickRequest& request) {
    if (const FilePicker& picker = Picker())
        return picker(owner, request);

    QFileDialog dialog(owner, request.title, request.folder, request.filter);
    const bool open = request.mode == FilePickRequest::Mode::Open;
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty())
        return std::nullopt;
    return chosen.front();
}

std::optional<QString> PickFileName(QWidget* owner, int maxLength) {
    const FilePickRequest request{
        FilePickRequest::Mode::Open, QStringLiteral("Open - Load file into editor"),
        QStringLiteral("TXT Files (*.txt);;All Files (*.*)"), QStringLiteral(".")};
    std::optional<QString> path = PickFile(owner, request);
    if (path && RefuseLongPath(owner, *path, maxLength))
        return std::nullopt;
    return path;
}

bool RefuseLongPath(QWidget* owner, const QString& path, int maxLength) {
    if (QFile::encodeName(path).size() <= maxLength)
        return false;
    ShowMessage(
        owner,
        QStringLiteral("The path is longer than %1 characters:\n%2").arg(maxLength).arg(path),
        QStringLiteral("Path too long!"), MessageIcon::Error);
    return true;
}

std::FILE* OpenNamedFile(QWidget* owner, const QString& name, int maxLength, const char* mode,
                         const QString& failCaption) {
    if (name.isEmpty()) {
        ShowMessage(owner, QStringLiteral("No File Name Provided"),
                    QStringLiteral("Can't create file!"), MessageIcon::Error);
        return nullptr;
    }
    if (RefuseLongPath(owner, name, maxLength))
        return nullptr;
    std::FILE* file = std::fopen(QFile::encodeName(name).constData(), mode);
    if (file == nullptr)
        ShowMessage(owner, name, failCaption, MessageIcon::Error);
    return file;
}

void SetFilePicker(FilePicker picker) {
    Picker() = std::move(picker);
}

}  // namespace tavirel
