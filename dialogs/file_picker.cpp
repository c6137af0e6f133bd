#include "dialogs/file_picker.h"

#include <QFileDialog>
#include <QStringList>
#include <utility>

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

void SetFilePicker(FilePicker picker) {
    Picker() = std::move(picker);
}

}  // namespace tavirel
