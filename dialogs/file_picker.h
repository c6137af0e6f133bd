// The open and save file pickers, and the seam tests answer them through.
#pragma once

#include <QString>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace tavirel {

struct FilePickRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    // Entries separated by ";;", the first selected. Each is the name shown,
    // then in its last pair of parentheses the patterns it matches, which are
    // not shown: "All Files (*.*) (*)" shows "All Files (*.*)" and matches
    // every name, also one without a dot.
    QString filter;
    QString folder;  // where the picker starts
};

// The open picker's entries: text files first, then every file.
inline constexpr char kOpenFileFilter[] = "TXT Files (*.txt) (*.txt);;All Files (*.*) (*)";

// The file dialog for a request, set up but not shown.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const FilePickRequest& request);

// Shows the platform's modal file dialog owned by owner. An open picker also
// takes the name of a file that does not exist yet; a save picker asks before
// replacing one. Returns the full path of the file chosen; nothing when the
// operator cancels or the path is empty.
std::optional<QString> PickFile(QWidget* owner, const FilePickRequest& request);

// The name a transfer dialog takes, in the file system's bytes; longer ones
// are refused, never cut.
inline constexpr int kMaxFileName = 254;

// The open-file picker the program's dialogs share: "Open - Load file into
// editor", text files first, starting in the current folder. A path longer
// than maxLength bytes of the file system's encoding is refused with a
// message, never cut; then nothing is returned.
std::optional<QString> PickFileName(QWidget* owner, int maxLength);

// Paths are refused, never cut, when they do not fit the program's name
// buffers: true (and the operator told, "Path too long!") when path takes more
// than maxLength bytes in the file system's encoding.
bool RefuseLongPath(QWidget* owner, const QString& path, int maxLength);

// Opens a file the operator named, with fopen's mode ("rb", "wb", "ab"),
// never waiting in open(): a pipe or a terminal with nobody at the other end
// would hold the window there for good. Regular files and character devices
// are opened; a pipe only when its other end is there (a reader to write to,
// a writer that has written or gone); folders and anything else are refused.
// Null on failure: then refusal, when given, holds why in a sentence for the
// operator, or stays empty when the system refused (errno says why).
std::FILE* OpenUserFile(const QString& path, const char* mode, QString* refusal = nullptr);

// Opens a file the operator named in a dialog, through OpenUserFile. An
// empty name ("No File Name Provided") or one over maxLength is refused, and
// a file that will not open is named under failCaption, with the reason on a
// second line when it is not a file one can open; then null.
std::FILE* OpenNamedFile(QWidget* owner, const QString& name, int maxLength, const char* mode,
                         const QString& failCaption);

// Tests: the picker answers every request in place of the dialog, so that
// nothing blocks; null shows the dialog again.
using FilePicker = std::function<std::optional<QString>(QWidget* owner, const FilePickRequest&)>;
void SetFilePicker(FilePicker picker);

}  // namespace tavirel
