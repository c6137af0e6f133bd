#include "terminal/terminal_view.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <algorithm>
#include <array>

#include "dialogs/terminal_font.h"
#include "terminal/cp437.h"

namespace tavirel {

namespace {

QRect ToQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

const std::array<QString, 256>& Glyphs() {
    static const std::array<QString, 256> glyphs = [] {
        std::array<QString, 256> g;
        for (std::size_t i = 0; i < g.size(); ++i)
            g[i] = QString(QChar(kCp437[i]));
        return g;
    }();
    return glyphs;
}

// Scroll-bar actions as the scroll handlers' codes. A slider move while the
// thumb is held is tracking; one without (the release, the wheel) is a final
// thumb position.
int ScrollCodeFor(int action, bool sliderDown) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return SbLineUp;
        case QAbstractSlider::SliderSingleStepAdd:
            return SbLineDown;
        case QAbstractSlider::SliderPageStepSub:
            return SbPageUp;
        case QAbstractSlider::SliderPageStepAdd:
            return SbPageDown;
        case QAbstractSlider::SliderToMinimum:
            return SbTop;
        case QAbstractSlider::SliderToMaximum:
            return SbBottom;
        case QAbstractSlider::SliderMove:
            return sliderDown ? SbThumbTrack : SbThumbPosition;
        default:
            return SbEndScroll;
    }
}

}  // namespace

TerminalView::TerminalView(QWidget* parent) : QAbstractScrollArea(parent) {
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    for (Axis axis : {Axis::Vertical, Axis::Horizontal}) {
        QScrollBar* bar = axis == Axis::Vertical ? verticalScrollBar() : horizontalScrollBar();
        bar->setRange(0, 0);
        bar->setTracking(false);  // the view moves when the thumb is released
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, axis](int action) { OnScrollAction(axis, action); });
    }
}

void TerminalView::OnScrollAction(Axis axis, int action) {
    QScrollBar* bar = axis == Axis::Vertical ? verticalScrollBar() : horizontalScrollBar();
    const int code = ScrollCodeFor(action, bar->isSliderDown());
    if (code == SbThumbTrack || code == SbEndScroll || state_ == nullptr)
        return;
    const int position = bar->sliderPosition();
    if (axis == Axis::Vertical) {
        ScrollTerminalVert(this, static_cast<std::uint16_t>(code), position);
    } else {
        ScrollTerminalHorz(this, static_cast<std::uint16_t>(code), position);
    }
    // The bar applies the slider position after this signal; make it ours.
    bar->setSliderPosition(axis == Axis::Vertical ? state_->vScrollPos : state_->hScrollPos);
}

void TerminalView::SetTerminalFont(const QFont& font) {
    font_ = font;
    ascent_ = QFontMetrics(font_).ascent();
    rawFont_ = QRawFont::fromFont(font_);
    const auto& glyphs = Glyphs();
    for (std::size_t b = 0; b < glyphOf_.size(); ++b) {
        const QList<quint32> index =
            rawFont_.isValid() ? rawFont_.glyphIndexesForString(glyphs[b]) : QList<quint32>();
        glyphOf_[b] = index.size() == 1 ? index[0] : 0;
    }
}

QSize TerminalView::sizeHint() const {
    if (state_ == nullptr || state_->charWidth <= 0)
        return QAbstractScrollArea::sizeHint();
    return QSize(kScreenColumns * state_->charWidth + verticalScrollBar()->sizeHint().width(),
                 25 * state_->lineHeight);
}

void TerminalView::Beep() {
    QApplication::beep();
}

void TerminalView::Invalidate(const PixelRect* rect, bool erase) {
    const QRect r = rect ? ToQRect(*rect) & viewport()->rect() : viewport()->rect();
    if (r.isEmpty())
        return;
    dirty_ += r;
    if (erase)
        erase_ += r;
    viewport()->update(r);
}

void TerminalView::ScrollContent(int dx, int dy) {
    if (dx == 0 && dy == 0)
        return;
    const QRect area = viewport()->rect();
    if (!canvas_.isNull()) {
        const qreal dpr = canvas_.devicePixelRatio();
        canvas_.scroll(qRound(dx * dpr), qRound(dy * dpr), canvas_.rect());
    }
    // Marks not yet painted travel with the pixels, as the window's own would.
    dirty_ = dirty_.translated(dx, dy) & area;
    erase_ = erase_.translated(dx, dy) & area;
    const QRegion uncovered = QRegion(area) - QRegion(area.translated(dx, dy));
    dirty_ += uncovered;
    erase_ += uncovered;
    viewport()->scroll(dx, dy);
    if (caretExists_)
        viewport()->update(CaretRect());
}

void TerminalView::SetScrollPos(Axis axis, int pos, bool) {
    QScrollBar* bar = axis == Axis::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->setValue(pos);
}

void TerminalView::SetScrollRange(Axis axis, int max, bool) {
    QScrollBar* bar = axis == Axis::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->setRange(0, max);
    if (state_ != nullptr) {
        const bool vert = axis == Axis::Vertical;
        bar->setSingleStep(std::max(1, vert ? state_->lineHeight : state_->charWidth));
        bar->setPageStep(std::max(1, vert ? state_->clientHeight : state_->clientWidth));
        bar->setValue(vert ? state_->vScrollPos : state_->hScrollPos);
    }
}

void TerminalView::CreateCaret(int width, int height) {
    if (caretExists_)
        viewport()->update(CaretRect());
    caretExists_ = true;
    caretVisible_ = false;
    caretSize_ = QSize(width, height);
}

void TerminalView::ShowCaret() {
    if (!caretExists_)
        return;
    caretVisible_ = true;
    blinkOn_ = true;
    UpdateCaretBlink();
    viewport()->update(CaretRect());
}

void TerminalView::HideCaret() {
    if (!caretExists_)
        return;
    caretVisible_ = false;
    UpdateCaretBlink();
    viewport()->update(CaretRect());
}

void TerminalView::DestroyCaret() {
    if (caretExists_)
        viewport()->update(CaretRect());
    caretExists_ = false;
    caretVisible_ = false;
    UpdateCaretBlink();
}

void TerminalView::SetCaretPos(int x, int y) {
    const QPoint p(x, y);
    if (p == caretPos_)
        return;
    if (caretExists_)
        viewport()->update(CaretRect());
    caretPos_ = p;
    blinkOn_ = true;
    if (caretExists_)
        viewport()->update(CaretRect());
}

void TerminalView::UpdateCaretBlink() {
    const int flash = QApplication::cursorFlashTime();
    if (caretExists_ && caretVisible_ && flash > 0) {
        if (!blink_.isActive())
            blink_.start(flash / 2, this);
    } else {
        blink_.stop();
        blinkOn_ = true;
    }
}

void TerminalView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != blink_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    blinkOn_ = !blinkOn_;
    viewport()->update(CaretRect());
}

QColor TerminalView::Background() const {
    return viewport()->palette().color(QPalette::Base);
}

void TerminalView::resizeEvent(QResizeEvent*) {
    SizeToClient();
}

// Showing or hiding a bar resizes the viewport from inside SizeTerminal; run
// it again with the final size rather than nesting.
void TerminalView::SizeToClient() {
    if (sizing_) {
        sizeAgain_ = true;
        return;
    }
    sizing_ = true;
    do {
        sizeAgain_ = false;
        const QSize size = viewport()->size();
        const qreal dpr = devicePixelRatioF();
        if (canvas_.size() != size * dpr) {
            canvas_ = QPixmap(size * dpr);
            canvas_.setDevicePixelRatio(dpr);
            canvas_.fill(Background());
        }
        SizeTerminal(this, static_cast<std::uint16_t>(std::clamp(size.height(), 0, 0xFFFF)),
                     static_cast<std::uint16_t>(std::clamp(size.width(), 0, 0xFFFF)));
    } while (sizeAgain_);
    sizing_ = false;
}

void TerminalView::PaintTerminal() {
    if (dirty_.isEmpty() || canvas_.isNull())
        return;
    QPainter p(&canvas_);
    for (const QRect& r : erase_& dirty_)
        p.fillRect(r, Background());
    if (state_ != nullptr && state_->charWidth > 0 && state_->lineHeight > 0) {
        const TtyState& s = *state_;
        p.setFont(font_);
        p.setPen(ColorFromRef(s.textColour));
        const auto& glyphs = Glyphs();
        // A space draws nothing unless the font underlines or strikes it out.
        const bool drawSpaces = font_.underline() || font_.strikeOut();
        QGlyphRun run;
        run.setRawFont(rawFont_);
        run.setUnderline(font_.underline());
        run.setStrikeOut(font_.strikeOut());
        QList<quint32> indexes;
        QList<QPointF> positions;
        for (const QRect& r : dirty_) {
            const PaintSpan span =
                CellsToPaint(s, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
            const int count = span.lastColumn - span.firstColumn + 1;
            if (count <= 0)
                continue;
            const int x0 = span.firstColumn * s.charWidth - s.hScrollPos;
            for (int row = span.firstRow; row <= span.lastRow; ++row) {
                const int y = row * s.lineHeight - s.vScrollPos;
                p.setClipRect(QRect(x0, y, count * s.charWidth, s.lineHeight) & r);
                const std::uint8_t* cells =
                    s.screen.data() + row * kScreenColumns + span.firstColumn;
                // One glyph run per row, each glyph at its own cell.
                indexes.clear();
                positions.clear();
                for (int i = 0; i < count; ++i) {
                    if (cells[i] == ' ' && !drawSpaces)
                        continue;
                    const QPoint at(x0 + i * s.charWidth, y + ascent_);
                    if (const quint32 g = glyphOf_[cells[i]]; g != 0) {
                        indexes.append(g);
                        positions.append(at);
                    } else {
                        p.drawText(at, glyphs[cells[i]]);  // from a fallback font
                    }
                }
                if (indexes.isEmpty())
                    continue;
                run.setGlyphIndexes(indexes);
                run.setPositions(positions);
                p.drawGlyphRun(QPointF(0, 0), run);
            }
        }
    }
    dirty_ = QRegion();
    erase_ = QRegion();
}

// Draws what was marked into the canvas, then shows the canvas and the caret.
void TerminalView::paintEvent(QPaintEvent* event) {
    PaintTerminal();
    QPainter p(viewport());
    const qreal dpr = canvas_.devicePixelRatio();
    for (const QRect& r : event->region())
        p.drawPixmap(r, canvas_, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr));
    if (caretExists_ && caretVisible_ && blinkOn_) {
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillRect(CaretRect(), Qt::black);
    }
    p.end();
    MoveTerminalCaret(this);
}

// Keys belong to the main window, not to scrolling.
void TerminalView::keyPressEvent(QKeyEvent* event) {
    event->ignore();
}

// Alt with a letter is the operator's, not a menu's: claim it before the
// shortcut machinery sees it, so it arrives as a key press.
bool TerminalView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const auto mods =
            key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
        if (mods == Qt::AltModifier && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TerminalView::UpdateNow() {
    if (!dirty_.isEmpty())
        viewport()->repaint(dirty_);
}

void TerminalView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    ShowTerminalCaret(this);
}

void TerminalView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    HideTerminalCaret(this);
}

int ApplyFont(TerminalView* window, TtyState* state) {
    if (state == nullptr || window == nullptr)
        return 0;
    window->SetTerminalFont(FontFromLogFont(state->logFont));
    const QFontMetrics metrics(window->TerminalFont());
    // The cell is a glyph's advance: some fixed-pitch fonts round their
    // declared average width differently, and cells would drift from glyphs.
    state->charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    state->lineHeight = std::max(1, metrics.height() + std::max(0, metrics.leading()));
    // The scroll ranges follow the new cell size, and everything is repainted
    // in the new font.
    window->SizeToClient();
    return 1;
}

}  // namespace tavirel
