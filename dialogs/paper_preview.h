// The paper preview: a window beside the picture editor that shows the paper
// as the teleprinter will print the editor's text, following it as it is
// typed, with what the print costs on the line and what will go wrong.
#pragma once

#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <optional>

#include "picture/paper.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace tavirel {

struct LineSettings;

// The paper itself. Guides in a pale blue mark the platen's edges (beside
// the first and after the last column) and the top of every row in the left
// margin, so the grid can be read off the picture; a row that ran past the
// platen gets a red mark in the right margin.
class PaperView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMargin = 24;

    explicit PaperView(QWidget* parent = nullptr);
    // The paper must outlive its showing; null shows a blank sheet.
    void SetPaper(const Paper* paper);
    // The paper's rows from `first` changed: to `end` when the rows after
    // them stayed where they were, else all of them.
    void RowsChanged(std::size_t first, std::optional<std::size_t> end);
    QSize sizeHint() const override;
    // The cell of row r, column c, in this widget's pixels.
    QRectF CellRect(int row, int column) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int Columns() const;
    int Rows() const;

    const Paper* paper_ = nullptr;
    QFont font_;
    qreal cellWidth_ = 0;
    qreal cellHeight_ = 0;
    qreal ascent_ = 0;
};

class PaperPreview : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPlatens[] = {68, 72, 74, 80};

    // A window of owner's; it reads editor's text and times the print with
    // line (null: 45 baud 5N1.5).
    PaperPreview(QPlainTextEdit* editor, const LineSettings* line, QWidget* owner);

    // Shows the window beside the editor (to its right when the screen has
    // room, else to its left) and brings it up to date; raises it where it
    // is when it is already shown.
    void ShowBeside(const QWidget* editorWindow);
    // Brings the paper up to date with the editor now, laying out again only
    // the rows the edits since the last time can change; otherwise that
    // happens once the typing leaves the event loop a moment.
    void Refresh();
    const Paper& CurrentPaper() const { return layout_.paper(); }
    void SetColumns(int columns);
    PaperView* View() const { return view_; }
    // The one edit that puts "<" before each line feed that has no carriage
    // return; undone as one.
    void PutCarriageReturns();

  private:
    const LineSettings& Line() const;
    void ShowSummary();

    QPlainTextEdit* editor_;
    const LineSettings* line_;
    PaperLayout layout_;
    // What the edits since the last layout left as it was: so many
    // characters at the start and at the end of the text.
    std::size_t unchangedStart_ = 0;
    std::size_t unchangedEnd_ = 0;
    QTimer pending_;
    QComboBox* platen_;
    QScrollArea* scroll_;
    PaperView* view_;
    QLabel* summary_;
    QLabel* warnings_;
    QPushButton* fix_;
};

}  // namespace tavirel
