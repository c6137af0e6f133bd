// The terminal font and text colour pickers, and the seam tests answer them
// through.
#pragma once

#include <QColor>
#include <QFont>
#include <functional>
#include <optional>

class QWidget;

namespace tavirel {

// The font and text colour the operator confirmed.
struct FontChoice {
    QFont font;
    QColor colour;
};

// Offers the fixed-pitch fonts (size, style, underline, strike-out), then a
// text colour, each starting from the current one; nothing when the operator
// cancels either.
std::optional<FontChoice> ChooseFontAndColour(QWidget* parent, const QFont& current,
                                              const QColor& currentColour);

// Tests: the chooser answers in place of both pickers, so that nothing
// blocks; null shows the pickers again.
using FontChooser = std::function<std::optional<FontChoice>(QWidget* parent, const QFont& current,
                                                            const QColor& currentColour)>;
void SetFontChooser(FontChooser chooser);

}  // namespace tavirel
