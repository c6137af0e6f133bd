// The paper roll: where the carriage is and every character struck at every
// cell, in order, with the time it was printed.
#pragma once

#include <QImage>
#include <QString>

#include <cstddef>
#include <vector>

class QPainter;

namespace tpsim {

struct Strike {
    char ch;
    double timeMs;  // print time, ms on the simulator's clock
};

class Paper {
  public:
    explicit Paper(int columns = 72) : columns_(columns < 1 ? 1 : columns) {}

    // One character as the printer acts on it: '\r', '\n', '\a' are functions,
    // ' ' moves the carriage without ink, other characters strike. Returns
    // false for anything the printer ignores.
    bool put(char ch, double timeMs);

    int columns() const { return columns_; }
    int column() const { return column_; }
    int row() const { return row_; }
    int bells() const { return bells_; }
    // Rows that exist, including the one the carriage is on.
    int rowCount() const { return static_cast<int>(rows_.size()); }
    const std::vector<Strike>& cell(int row, int col) const;

    // For each cell the last character struck; trailing spaces trimmed.
    QString rowText(int row) const;
    // Rows joined with '\n' (file) or '|' (one line); trailing empty rows dropped.
    QString text(QChar separator) const;

    // Draws the paper as it looked at upToMs (strikes later than that are not
    // drawn yet), cell (0,0) at the painter's origin plus the margin.
    void paint(QPainter& painter, double upToMs) const;
    QSize pixelSize() const;
    QImage render() const;
    bool savePng(const QString& file) const;

  private:
    using Row = std::vector<std::vector<Strike>>;
    Row& rowAt(int r);

    int columns_;
    int column_ = 0;
    int row_ = 0;
    int bells_ = 0;
    std::vector<Row> rows_;
};

}  // namespace tpsim
