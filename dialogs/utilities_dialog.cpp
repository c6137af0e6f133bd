#include "dialogs/utilities_dialog.h"

#include <QFile>
#include <memory>

#include "convert/converter.h"
#include "dialogs/message_box.h"
#include "link/process_state.h"

namespace tavirel {

namespace {

// The converters' messages become the program's message boxes, owned by the
// dialog, and the output path its read-only field.
class DialogHost : public ConverterHost {
  public:
    explicit DialogHost(TemplateDialog& dialog) : dialog_(dialog) {}
    void ShowOutputPath(const std::string& path) override {
        dialog_.SetItemText(IDC_OUTPUT_PATH, QFile::decodeName(QByteArray::fromStdString(path)));
    }
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        tavirel::ShowMessage(&dialog_, QFile::decodeName(QByteArray::fromStdString(text)),
                             QString::fromLatin1(caption),
                             icon == Icon::Error ? MessageIcon::Error : MessageIcon::Information);
    }

  private:
    TemplateDialog& dialog_;
};

bool ConverterFor(int id, Converter& which) {
    switch (id) {
        case IDC_TO_ITA2:
            which = Converter::AsciiToIta2;
            return true;
        case IDC_CLEAN_TAPE:
            which = Converter::CleanTape;
            return true;
        case IDC_ITA2_TO_ASCII:
            which = Converter::Ita2ToAscii;
            return true;
        case IDC_TO_ITA2_SUBSET:
            which = Converter::AsciiToItaSubset;
            return true;
        default:
            return false;
    }
}

}  // namespace

TemplateDialog* BuildUtilitiesDialog(QWidget* owner) {
    TemplateDialog* dialog = BuildDialog(kUtilitiesDialog, owner);
    if (dialog == nullptr)
        return nullptr;
    // Focus starts on the first control in tab order.
    dialog->Item(IDC_UTILITIES_EXIT)->setFocus();
    QObject::connect(dialog, &TemplateDialog::Command, dialog, [dialog](int id) {
        if (id == IDC_UTILITIES_EXIT) {
            dialog->End(1);
            return;
        }
        Converter which{};
        if (!ConverterFor(id, which))
            return;
        // The field's text whole and untrimmed; one too long for the path
        // buffer is refused by the frame, never cut.
        const QByteArray path = QFile::encodeName(dialog->ItemText(IDC_INPUT_PATH));
        DialogHost host(*dialog);
        RunConverter(which, path.toStdString(), Process().converters, host);
    });
    return dialog;
}

int RunUtilitiesDialog(QWidget* owner) {
    const std::unique_ptr<TemplateDialog> dialog(BuildUtilitiesDialog(owner));
    return dialog == nullptr ? 0 : dialog->exec();
}

}  // namespace tavirel
