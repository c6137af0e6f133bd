// The terminal font: the record's font description to a Qt font and back.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

#include "link/tty_state.h"

namespace tavirel {

QFont FontFromLogFont(const LogFont& logFont);

// The description of a font the operator chose; keeps the fields a Qt font
// does not carry (character set, precisions) from base.
LogFont LogFontFromFont(const QFont& font, const LogFont& base);

// Text colours are stored as 0x00BBGGRR.
QColor ColorFromRef(std::uint32_t colorRef);
std::uint32_t RefFromColor(const QColor& color);

}  // namespace tavirel
