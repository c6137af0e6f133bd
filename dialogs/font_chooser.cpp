#include "dialogs/font_chooser.h"

#include <QColorDialog>
#include <QFontDialog>
#include <utility>

namespace tavirel {

namespace {

FontChooser& Chooser() {
    static FontChooser chooser;
    return chooser;
}

}  // namespace

std::optional<FontChoice> ChooseFontAndColour(QWidget* parent, const QFont& current,
                                              const QColor& currentColour) {
    if (const FontChooser& chooser = Chooser())
        return chooser(parent, current, currentColour);

    QFontDialog fonts(parent);
    // A native chooser may ignore the fixed-pitch filter and lacks the
    // underline and strike-out boxes.
    fonts.setOptions(QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
    fonts.setCurrentFont(current);
    if (fonts.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor colour = QColorDialog::getColor(currentColour, parent);
    if (!colour.isValid())
        return std::nullopt;
    return FontChoice{fonts.selectedFont(), colour};
}

void SetFontChooser(FontChooser chooser) {
    Chooser() = std::move(chooser);
}

}  // namespace tavirel
