#include "dialogs/paper_preview.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "link/line_settings.h"

namespace tavirel {

namespace {

const QColor kPaperColour(252, 251, 245);
const QColor kDeskColour(96, 98, 104);
const QColor kGuideColour(185, 195, 215);
const QColor kPastPlatenColour(200, 40, 40);
const QColor kPastPlatenCell(255, 222, 222);
// Slightly translucent, so a cell struck twice comes out darker, as it does
// with a ribbon.
const QColor kInk(25, 25, 40, 200);

QFont TypeFont() {
    QFont font = QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Mono"))
                     ? QFont(QStringLiteral("DejaVu Sans Mono"))
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setKerning(false);
    font.setPixelSize(14);
    return font;
}

QString Duration(std::chrono::nanoseconds time) {
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(time).count();
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
}

// "1 line feed", "2 line feeds".
QString Count(std::size_t n, const char* one, const char* many) {
    return QStringLiteral("%L1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

std::u16string_view Utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// The editor's text a block at a time, each character as toPlainText gives
// it, so a key does not copy the whole picture.
class DocumentText : public TextReader {
  public:
    explicit DocumentText(const QTextDocument* document) : document_(document) {}

    std::size_t Size() const override {
        return static_cast<std::size_t>(document_->characterCount() - 1);
    }

    std::u16string_view From(std::size_t from) override {
        const auto at = static_cast<int>(from);
        if (block_.isValid() && at == block_.position() + block_.length())
            block_ = block_.next();
        if (!block_.contains(at))
            block_ = document_->findBlock(at);
        piece_ = block_.text();
        if (block_.next().isValid())
            piece_ += QLatin1Char('\n');
        for (QChar& c : piece_) {
            switch (c.unicode()) {
                case 0xFDD0:  // frame marks
                case 0xFDD1:
                case QChar::ParagraphSeparator:
                case QChar::LineSeparator:
                    c = QLatin1Char('\n');
                    break;
                case QChar::Nbsp:
                    c = QLatin1Char(' ');
                    break;
                default:
                    break;
            }
        }
        return Utf16(piece_).substr(std::min(from - static_cast<std::size_t>(block_.position()),
                                             static_cast<std::size_t>(piece_.size())));
    }

  private:
    const QTextDocument* document_;
    QTextBlock block_;
    QString piece_;
};

}  // namespace

PaperView::PaperView(QWidget* parent) : QWidget(parent), font_(TypeFont()) {
    const QFontMetricsF metrics(font_);
    cellWidth_ = metrics.horizontalAdvance(QLatin1Char('M'));
    cellHeight_ = metrics.lineSpacing();
    ascent_ = metrics.ascent();
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A longer paper paints only what it adds; RowsChanged says the rest.
    setAttribute(Qt::WA_StaticContents);
    resize(sizeHint());
}

void PaperView::SetPaper(const Paper* paper) {
    paper_ = paper;
    if (size() != sizeHint())
        resize(sizeHint());
    update();
}

void PaperView::RowsChanged(std::size_t first, std::optional<std::size_t> end) {
    if (size() != sizeHint())
        resize(sizeHint());
    const int top = static_cast<int>(std::floor(CellRect(static_cast<int>(first), 0).top()));
    const int bottom =
        end ? static_cast<int>(std::ceil(CellRect(static_cast<int>(*end), 0).top())) : height();
    // The guides and the red marks in the margins go with the rows.
    update(0, top, width(), bottom - top);
}

int PaperView::Columns() const {
    return paper_ == nullptr ? 72 : paper_->columns;
}

int PaperView::Rows() const {
    return paper_ == nullptr ? 1 : std::max<int>(1, static_cast<int>(paper_->rows.size()));
}

QSize PaperView::sizeHint() const {
    return {2 * kMargin + static_cast<int>(std::ceil(Columns() * cellWidth_)),
            2 * kMargin + static_cast<int>(std::ceil(Rows() * cellHeight_))};
}

QRectF PaperView::CellRect(int row, int column) const {
    return {kMargin + column * cellWidth_, kMargin + row * cellHeight_, cellWidth_, cellHeight_};
}

void PaperView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, kPaperColour);

    const int columns = Columns();
    const int left = kMargin - 3;
    const int right = static_cast<int>(std::ceil(kMargin + columns * cellWidth_)) + 2;
    painter.setPen(kGuideColour);
    painter.drawLine(left, exposed.top(), left, exposed.bottom());
    painter.drawLine(right, exposed.top(), right, exposed.bottom());

    const int first = std::max(0, static_cast<int>((exposed.top() - kMargin) / cellHeight_));
    const int last =
        std::min(Rows() - 1, static_cast<int>((exposed.bottom() - kMargin) / cellHeight_));
    for (int r = first; r <= last; ++r) {
        const int top = static_cast<int>(std::lround(kMargin + r * cellHeight_));
        painter.setPen(kGuideColour);
        painter.drawLine(left - 8, top, left - 4, top);
        if (paper_ == nullptr || static_cast<std::size_t>(r) >= paper_->rows.size())
            continue;
        const PaperRow& row = paper_->rows[static_cast<std::size_t>(r)];
        if (row.pastPlaten) {
            painter.fillRect(CellRect(r, columns - 1), kPastPlatenCell);
            painter.fillRect(QRectF(right + 4, top + 2, 6, cellHeight_ - 4), kPastPlatenColour);
        }
    }

    if (paper_ == nullptr)
        return;
    painter.setFont(font_);
    painter.setPen(kInk);
    for (int r = first; r <= last && static_cast<std::size_t>(r) < paper_->rows.size(); ++r) {
        const QPointF origin(kMargin, kMargin + r * cellHeight_ + ascent_);
        // One pass per layer: each cell's second strike goes over its first.
        for (const std::string& layer : paper_->Layers(static_cast<std::size_t>(r)))
            painter.drawText(origin, QString::fromLatin1(layer));
    }
}

PaperPreview::PaperPreview(QPlainTextEdit* editor, const LineSettings* line, QWidget* owner)
    : QWidget(owner, Qt::Window), editor_(editor), line_(line) {
    setObjectName(QStringLiteral("paperPreview"));
    setWindowTitle(QStringLiteral("Paper Preview"));
    // The operator goes on typing in the editor.
    setAttribute(Qt::WA_ShowWithoutActivating);

    platen_ = new QComboBox(this);
    for (int columns : kPlatens)
        platen_->addItem(QStringLiteral("%1 columns").arg(columns), columns);
    platen_->setCurrentIndex(1);
    auto* platenLabel = new QLabel(QStringLiteral("&Platen:"), this);
    platenLabel->setBuddy(platen_);

    view_ = new PaperView;
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette desk = scroll_->palette();
    desk.setColor(QPalette::Window, kDeskColour);
    scroll_->setPalette(desk);
    scroll_->setBackgroundRole(QPalette::Window);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setWordWrap(true);
    warnings_ = new QLabel(this);
    warnings_->setObjectName(QStringLiteral("warnings"));
    warnings_->setWordWrap(true);
    QPalette red = warnings_->palette();
    red.setColor(QPalette::WindowText, kPastPlatenColour.darker(120));
    warnings_->setPalette(red);
    fix_ = new QPushButton(QStringLiteral("Put < before each lone ^"), this);
    fix_->setObjectName(QStringLiteral("putCarriageReturns"));
    fix_->setToolTip(QStringLiteral("One edit in the editor; Ctrl+Z there takes it back."));

    auto* top = new QHBoxLayout;
    top->addWidget(platenLabel);
    top->addWidget(platen_);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(scroll_, 1);
    layout->addWidget(summary_);
    layout->addWidget(warnings_);
    layout->addWidget(fix_, 0, Qt::AlignLeft);

    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &PaperPreview::Refresh);
    // Edits are noted even while the window is hidden, so that showing it
    // lays out again only what they reach.
    connect(editor_->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) {
                const auto length =
                    static_cast<std::size_t>(editor_->document()->characterCount() - 1);
                const auto from = static_cast<std::size_t>(std::max(0, position));
                const std::size_t to = from + static_cast<std::size_t>(std::max(0, added));
                unchangedStart_ = std::min(unchangedStart_, from);
                unchangedEnd_ = std::min(unchangedEnd_, to < length ? length - to : 0);
                if (isVisible())
                    pending_.start();
            });
    connect(platen_, &QComboBox::currentIndexChanged, this, &PaperPreview::Refresh);
    connect(fix_, &QPushButton::clicked, this, &PaperPreview::PutCarriageReturns);
    view_->SetPaper(&layout_.paper());
    Refresh();
}

void PaperPreview::SetColumns(int columns) {
    const int index = platen_->findData(columns);
    if (index >= 0)
        platen_->setCurrentIndex(index);
}

void PaperPreview::Refresh() {
    pending_.stop();
    const LineSettings& line = Line();
    PrintOptions options;
    options.columns = platen_->currentData().toInt();
    options.baudot = CodeMode.load() == ModeBaudot;
    options.characterTime = CharacterTime(line);
    DocumentText text(editor_->document());
    const int columns = CurrentPaper().columns;
    const PaperLayout::Changed changed =
        layout_.Edit(text, options, unchangedStart_, unchangedEnd_);
    unchangedStart_ = unchangedEnd_ = std::numeric_limits<std::size_t>::max();
    if (CurrentPaper().columns != columns)
        view_->SetPaper(&CurrentPaper());
    else
        view_->RowsChanged(changed.first, changed.end);
    ShowSummary();
}

const LineSettings& PaperPreview::Line() const {
    static const LineSettings kDefaults;
    return line_ != nullptr ? *line_ : kDefaults;
}

void PaperPreview::ShowSummary() {
    const LineSettings& line = Line();
    const Paper& paper = CurrentPaper();
    QString summary = Count(paper.rows.size(), "line", "lines") + QStringLiteral(", ") +
                      Count(paper.lineCodes, "character", "characters") +
                      QStringLiteral(" on the line");
    if (CodeMode.load() == ModeBaudot)
        summary += QStringLiteral(" (%1 letters and figures shifts among them)").arg(paper.shifts);
    const double bits = static_cast<double>(CharacterTime(line).count()) * line.baudRate / 1e9;
    summary += QStringLiteral(".\nPrint time %1 at %2 baud, %3 bits a character.")
                   .arg(Duration(paper.printTime))
                   .arg(line.baudRate)
                   .arg(bits, 0, 'g', 4);
    summary_->setText(summary);

    QStringList warnings;
    if (paper.rowsPastPlaten > 0)
        warnings << Count(paper.rowsPastPlaten, "line runs", "lines run") +
                        QStringLiteral(
                            " past the platen and piles up in the last column "
                            "(marked in red).");
    if (!paper.loneLineFeeds.empty())
        warnings << Count(paper.loneLineFeeds.size(), "line feed", "line feeds") +
                        QStringLiteral(
                            " without a carriage return: the carriage does not go "
                            "back, so the lines after it creep to the right.");
    if (paper.stop) {
        const QTextDocument* document = editor_->document();
        const auto at = static_cast<int>(*paper.stop);
        QString shown(document->characterAt(at));
        if (shown[0].isHighSurrogate() && document->characterAt(at + 1).isLowSurrogate())
            shown += document->characterAt(at + 1);
        warnings << QStringLiteral(
                        "Sending stops at line %1 of the editor: \"%2\" cannot be "
                        "printed, and nothing after it goes out.")
                        .arg(document->findBlock(at).blockNumber() + 1)
                        .arg(shown);
    }
    warnings_->setText(warnings.join(QLatin1Char('\n')));
    warnings_->setVisible(!warnings.isEmpty());
    fix_->setVisible(!paper.loneLineFeeds.empty());
}

void PaperPreview::PutCarriageReturns() {
    Refresh();
    const Paper& paper = CurrentPaper();
    if (paper.loneLineFeeds.empty())
        return;
    QTextCursor cursor(editor_->document());
    cursor.beginEditBlock();
    // From the end, so the positions before each insertion stay true.
    for (auto it = paper.loneLineFeeds.rbegin(); it != paper.loneLineFeeds.rend(); ++it) {
        cursor.setPosition(static_cast<int>(*it));
        cursor.insertText(QStringLiteral("<"));
    }
    cursor.endEditBlock();
    Refresh();
}

void PaperPreview::ShowBeside(const QWidget* editorWindow) {
    Refresh();
    if (isVisible()) {  // where the operator has put it
        raise();
        return;
    }
    const QRect frame = editorWindow->frameGeometry();
    const QRect screen = editorWindow->screen()->availableGeometry();
    const int chrome = 2 * scroll_->frameWidth() + 24;
    const int width = std::min(screen.width(), view_->sizeHint().width() + chrome + 24);
    const int height = std::min(
        screen.height() - 40, std::max(frame.height(), view_->sizeHint().height() + chrome + 140));
    resize(width, height);
    int x = frame.right() + 8;
    if (x + width > screen.right())
        x = frame.left() - 8 - width >= screen.left() ? frame.left() - 8 - width
                                                      : screen.right() - width;
    // Keep the whole window, title bar included, on the screen.
    const int titleBar = frame.height() - editorWindow->height();
    move(x, std::max(screen.top(), std::min(frame.top(), screen.bottom() - height - titleBar)));
    show();
    raise();
}

}  // namespace tavirel
