#include "dialogs/file_picker.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <utility>

#include "dialogs/message_box.h"

namespace tavirel {

namespace {

FilePicker& Picker() {
    static FilePicker picker;
    return picker;
}

// fopen's mode as open()'s flags; -1 for a mode that is none.
int OpenFlags(const char* mode) {
    const int access = std::strchr(mode, '+') != nullptr ? O_RDWR : O_WRONLY;
    switch (mode[0]) {
        case 'r':
            return access == O_RDWR ? O_RDWR : O_RDONLY;
        case 'w':
            return access | O_CREAT | O_TRUNC;
        case 'a':
            return access | O_CREAT | O_APPEND;
        default:
            return -1;
    }
}

// Why a file of this type is not opened; empty when it is. A pipe is
// opened only with its other end there.
QString RefusalFor(mode_t type, bool otherEnd) {
    if (S_ISREG(type) || S_ISCHR(type) || (S_ISFIFO(type) && otherEnd))
        return {};
    if (S_ISDIR(type))
        return QStringLiteral("This is a folder, not a file.");
    if (S_ISFIFO(type))
        return QStringLiteral("This is a pipe with nobody at its other end.");
    return QStringLiteral("This is not a file.");
}

void CloseKeepingErrno(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

}  // namespace

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const FilePickRequest& request) {
    auto dialog =
        std::make_unique<QFileDialog>(owner, request.title, request.folder, request.filter);
    const bool open = request.mode == FilePickRequest::Mode::Open;
    dialog->setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // Shows each entry without its last parentheses, the patterns it matches.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    return dialog;
}

std::optional<QString> PickFile(QWidget* owner, const FilePickRequest& request) {
    if (const FilePicker& picker = Picker())
        return picker(owner, request);

    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(owner, request);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty())
        return std::nullopt;
    return chosen.front();
}

std::optional<QString> PickFileName(QWidget* owner, int maxLength) {
    const FilePickRequest request{FilePickRequest::Mode::Open,
                                  QStringLiteral("Open - Load file into editor"),
                                  QString::fromLatin1(kOpenFileFilter), QStringLiteral(".")};
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
    QString refusal;
    std::FILE* file = OpenUserFile(name, mode, &refusal);
    if (file == nullptr)
        ShowMessage(owner, refusal.isEmpty() ? name : name + QLatin1Char('\n') + refusal,
                    failCaption, MessageIcon::Error);
    return file;
}

std::FILE* OpenUserFile(const QString& path, const char* mode, QString* refusal) {
    QString ignored;
    QString& why = refusal != nullptr ? *refusal : ignored;
    why.clear();
    const int flags = OpenFlags(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    struct stat info {};
    if (fd < 0) {
        const int error = errno;
        // A pipe opened for writing without a reader fails at once.
        if (error == ENXIO && ::stat(name.constData(), &info) == 0)
            why = RefusalFor(info.st_mode, false);
        else if (error == EISDIR)
            why = RefusalFor(S_IFDIR, false);
        errno = error;
        return nullptr;
    }
    if (::fstat(fd, &info) != 0) {
        CloseKeepingErrno(fd);
        return nullptr;
    }
    // Written to or left by its writer: its reads end. Else they might not.
    pollfd ready{fd, POLLIN, 0};
    const bool otherEnd = (flags & O_ACCMODE) != O_RDONLY || ::poll(&ready, 1, 0) > 0;
    why = RefusalFor(info.st_mode, otherEnd);
    const int status = ::fcntl(fd, F_GETFL);
    if (!why.isEmpty() || status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        CloseKeepingErrno(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr)
        CloseKeepingErrno(fd);
    return file;
}

void SetFilePicker(FilePicker picker) {
    Picker() = std::move(picker);
}

}  // namespace tavirel
