#include "paper.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tpsim {

namespace {

constexpr int kMargin = 24;

QFont typeFont() {
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(16);
    return font;
}

struct Cell {
    double width;
    double height;
    double ascent;
};

Cell cellMetrics() {
    const QFontMetricsF fm(typeFont());
    return {fm.horizontalAdvance(QLatin1Char('M')), fm.lineSpacing(), fm.ascent()};
}

}  // namespace

Paper::Row& Paper::rowAt(int r) {
    while (static_cast<int>(rows_.size()) <= r) {
        rows_.emplace_back(static_cast<std::size_t>(columns_));
    }
    return rows_[static_cast<std::size_t>(r)];
}

bool Paper::put(char ch, double timeMs) {
    rowAt(row_);  // the row under the carriage exists once anything happens
    switch (ch) {
        case '\r':
            column_ = 0;
            return true;
        case '\n':
            ++row_;
            rowAt(row_);
            return true;
        case '\a':
            ++bells_;
            return true;
        case ' ':
            column_ = std::min(column_ + 1, columns_ - 1);
            return true;
        default:
            break;
    }
    if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7f) {
        return false;
    }
    rowAt(row_)[static_cast<std::size_t>(column_)].push_back({ch, timeMs});
    // The carriage stops at the right margin, so everything after lands there.
    column_ = std::min(column_ + 1, columns_ - 1);
    return true;
}

const std::vector<Strike>& Paper::cell(int row, int col) const {
    static const std::vector<Strike> kEmpty;
    if (row < 0 || row >= rowCount() || col < 0 || col >= columns_) {
        return kEmpty;
    }
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

QString Paper::rowText(int row) const {
    QString line;
    for (int c = 0; c < columns_; ++c) {
        const auto& strikes = cell(row, c);
        line += strikes.empty() ? QLatin1Char(' ') : QLatin1Char(strikes.back().ch);
    }
    while (line.endsWith(QLatin1Char(' '))) {
        line.chop(1);
    }
    return line;
}

QString Paper::text(QChar separator) const {
    QStringList lines;
    for (int r = 0; r < rowCount(); ++r) {
        lines << rowText(r);
    }
    while (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines.join(separator);
}

QSize Paper::pixelSize() const {
    const Cell cell = cellMetrics();
    const int rows = std::max(rowCount(), 1);
    return {static_cast<int>(std::ceil(cell.width * columns_)) + 2 * kMargin,
            static_cast<int>(std::ceil(cell.height * rows)) + 2 * kMargin};
}

void Paper::paint(QPainter& painter, double upToMs) const {
    const Cell metrics = cellMetrics();
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(typeFont());
    // Slightly translucent ink, so a cell struck twice comes out darker, as
    // it does with a ribbon.
    painter.setPen(QColor(25, 25, 40, 200));
    for (int r = 0; r < rowCount(); ++r) {
        const double y = kMargin + r * metrics.height + metrics.ascent;
        for (int c = 0; c < columns_; ++c) {
            const double x = kMargin + c * metrics.width;
            for (const Strike& s : cell(r, c)) {
                if (s.timeMs <= upToMs) {
                    painter.drawText(QPointF(x, y), QString(QLatin1Char(s.ch)));
                }
            }
        }
    }
    painter.restore();
}

QImage Paper::render() const {
    QImage image(pixelSize(), QImage::Format_RGB32);
    image.fill(QColor(252, 251, 245));
    QPainter painter(&image);
    paint(painter, std::numeric_limits<double>::infinity());
    return image;
}

bool Paper::savePng(const QString& file) const {
    return render().save(file, "PNG");
}

}  // namespace tpsim
