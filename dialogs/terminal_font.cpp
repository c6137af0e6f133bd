#include "dialogs/terminal_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>

namespace tavirel {

QFont FontFromLogFont(const LogFont& lf) {
    QFont f;
    const QString face = QString::fromStdString(lf.faceName);
    // The one-size bitmap face of the original machines is stood in for by the
    // desktop's fixed-pitch font at its own size, as that face ignored the
    // height asked for too.
    if (face.isEmpty() || face.compare(QLatin1String("FixedSys"), Qt::CaseInsensitive) == 0) {
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    } else {
        f.setFamily(face);
        if (lf.height < 0) {
            f.setPixelSize(-lf.height);
        } else if (lf.height > 0) {
            // A positive height is the whole cell, internal leading included.
            f.setPixelSize(lf.height);
            const int cell = QFontMetrics(f).height();
            if (cell > 0 && cell != lf.height)
                f.setPixelSize(std::max(1, lf.height * lf.height / cell));
        }
    }
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (lf.weight > 0)
        f.setWeight(static_cast<QFont::Weight>(std::clamp(lf.weight, 1, 1000)));
    f.setItalic(lf.italic != 0);
    f.setUnderline(lf.underline != 0);
    f.setStrikeOut(lf.strikeOut != 0);
    return f;
}

LogFont LogFontFromFont(const QFont& font, const LogFont& base) {
    LogFont lf = base;
    lf.faceName = font.family().toStdString();
    // A negative height is the character height without internal leading,
    // which is what a pixel size means.
    lf.height = -std::max(1, QFontInfo(font).pixelSize());
    lf.width = 0;
    lf.weight = static_cast<std::int32_t>(font.weight());
    lf.italic = font.italic() ? 1 : 0;
    lf.underline = font.underline() ? 1 : 0;
    lf.strikeOut = font.strikeOut() ? 1 : 0;
    return lf;
}

QColor ColorFromRef(std::uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

std::uint32_t RefFromColor(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

}  // namespace tavirel
