#include "dialogs/picture_editor.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/file_picker.h"
#include "dialogs/message_box.h"
#include "dialogs/paper_preview.h"
#include "picture/picture_file.h"

namespace tavirel {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The whole file; nothing when it cannot be read (the operator has been told).
std::optional<std::string> ReadPicture(QWidget* owner, const QString& path) {
    const File file(
        OpenNamedFile(owner, path, kMaxPicturePath, "rb", QStringLiteral("File doesn't exist!")));
    if (!file)
        return std::nullopt;
    std::string bytes;
    char block[65536];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes.append(block, n);
        if (static_cast<std::int64_t>(bytes.size()) > kMaxPictureFile) {
            ShowMessage(owner,
                        QStringLiteral("%1\nThis file is larger than %2 MB: too large for a "
                                       "picture. Nothing was loaded.")
                            .arg(path)
                            .arg(kMaxPictureFile / (1024 * 1024)),
                        QStringLiteral("File too large!"), MessageIcon::Error);
            return std::nullopt;
        }
    }
    if (std::ferror(file.get())) {
        ShowMessage(owner, path + QLatin1Char('\n') + SystemError(errno),
                    QStringLiteral("Can't read file!"), MessageIcon::Error);
        return std::nullopt;
    }
    return bytes;
}

void LoadPicture(TemplateDialog& dialog, const QString& path) {
    if (const std::optional<std::string> bytes = ReadPicture(&dialog, path))
        dialog.SetItemText(IDC_PICTURE_TEXT, QString::fromLatin1(DisplayFromFile(*bytes)));
}

void SavePicture(TemplateDialog& dialog, const QString& path) {
    if (RefuseLongPath(&dialog, path, kMaxPicturePath))
        return;
    // An empty path is not refused beforehand: it fails to open like any other.
    QString refusal;
    std::FILE* file = OpenUserFile(path, "wb", &refusal);
    if (file == nullptr) {
        ShowMessage(&dialog, refusal.isEmpty() ? path : path + QLatin1Char('\n') + refusal,
                    QStringLiteral("Cannot Open Write File"), MessageIcon::Error);
        return;
    }
    const QString text = dialog.ItemAs<QPlainTextEdit>(IDC_PICTURE_TEXT)->toPlainText();
    const std::string bytes = FileFromDisplay(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
    // A full disk shows itself at the write, the flush or the close.
    int error = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0)
        error = errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ShowMessage(
            &dialog,
            QStringLiteral("%1\n%2. The picture was not saved.").arg(path, SystemError(error)),
            QStringLiteral("Cannot Write File"), MessageIcon::Error);
        return;
    }
    ShowMessage(&dialog, QStringLiteral("Task complete"), QStringLiteral("File Saved"),
                MessageIcon::None);
}

void LoadFile(TemplateDialog& dialog) {
    // The save path adds ".mod" to it and must fit too.
    const std::optional<QString> picked = PickFileName(&dialog, kMaxPicturePath - 4);
    if (!picked)
        return;
    dialog.SetItemText(IDC_LOADED_PATH, *picked);
    LoadPicture(dialog, *picked);
    dialog.SetItemText(IDC_SAVE_PATH, *picked + QStringLiteral(".mod"));
}

// Whatever the loaded-path field does (its text changes, it gains or loses
// the focus) empties the save path.
class LoadedPathWatch : public QObject {
  public:
    LoadedPathWatch(QLineEdit* loaded, QLineEdit* save) : QObject(loaded), save_(save) {
        loaded->installEventFilter(this);
        connect(loaded, &QLineEdit::textChanged, save, &QLineEdit::clear);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            save_->clear();
        return false;
    }

  private:
    QLineEdit* save_;
};

}  // namespace

TemplateDialog* BuildPictureEditor(QWidget* owner, const LineSettings* line) {
    TemplateDialog* dialog = BuildDialog(kPictureEditorDialog, owner);
    if (dialog == nullptr)
        return nullptr;
    auto* edit = dialog->ItemAs<QPlainTextEdit>(IDC_PICTURE_TEXT);
    // Long display lines wrap at the box's edge; there is no sideways scrolling.
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A scroll bar that came and went would change the width the lines wrap
    // at, and the box would lay out every line of a large picture again.
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The ruler's first column stands over the edit box's first column. The
    // ruler and the legend are single lines in a fixed-pitch font: they
    // must never wrap.
    const int textLeft = edit->viewport()->mapTo(edit, QPoint(0, 0)).x() +
                         static_cast<int>(edit->document()->documentMargin());
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        label->setWordWrap(false);
        if (label->text().startsWith(QStringLiteral("0        1")) ||
            label->text().startsWith(QStringLiteral("1234567890"))) {
            label->setIndent(textLeft);
            label->setObjectName(QStringLiteral("ruler"));
        }
    }

    new LoadedPathWatch(dialog->ItemAs<QLineEdit>(IDC_LOADED_PATH),
                        dialog->ItemAs<QLineEdit>(IDC_SAVE_PATH));

    // Our own addition, in the free space beside the legend.
    auto* previewButton = new QPushButton(QStringLiteral("Preview"), dialog);
    previewButton->setObjectName(QStringLiteral("previewButton"));
    previewButton->setAutoDefault(true);
    const QPoint at = DialogUnitsToPixels(dialog->Template(), 338, 44);
    const QPoint size = DialogUnitsToPixels(dialog->Template(), 50, 14);
    previewButton->setGeometry(at.x(), at.y(), size.x(), size.y());
    auto* preview = new PaperPreview(edit, line, dialog);
    QObject::connect(previewButton, &QPushButton::clicked, preview,
                     [preview, dialog] { preview->ShowBeside(dialog); });

    dialog->SetItemText(IDC_LOADED_PATH, QString());
    QObject::connect(dialog, &TemplateDialog::Command, dialog, [dialog](int id) {
        switch (id) {
            case IDC_LOAD_FILE:
                LoadFile(*dialog);
                break;
            case IDC_SAVE_FILE:
                SavePicture(*dialog, dialog->ItemText(IDC_SAVE_PATH));
                break;
            case IDC_EDITOR_EXIT:
                dialog->End(1);
                break;
            default:
                // The hidden OK, Enter and Escape do nothing.
                break;
        }
    });
    return dialog;
}

int RunPictureEditor(QWidget* owner, const LineSettings* line) {
    const std::unique_ptr<TemplateDialog> dialog(BuildPictureEditor(owner, line));
    return dialog == nullptr ? 0 : dialog->exec();
}

}  // namespace tavirel
