#include "terminal/terminal_view.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QTimerEvent>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "dialogs/terminal_font.h"
#include "terminal/cp437.h"

namespace tavirel {

namespace {

// Pixels are painted at most this often; the first paint after a quiet
// spell comes at once.
constexpr int kFrameMs = 16;

// The desktop's blink time-out: after this long without a key or a
// character the caret stops blinking and stays shown.
constexpr auto kBlinkTimeout = std::chrono::seconds(10);

// Rows the view shows by default: once the view follows the cursor, the
// cursor row is its 26th.
constexpr int kDefaultRows = kFollowRow + 2;

const std::array<QString, 256>& Glyphs() {
    static const std::array<QString, 256> glyphs = [] {
        std::array<QString, 256> g;
        for (std::size_t i = 0; i < g.size(); ++i)
            g[i] = QString(QChar(kCp437[i]));
        return g;
    }();
    return glyphs;
}

// The block and shade characters are drawn as exact cell shapes, the way a
// terminal draws them itself, so they meet their neighbours without seams or
// overlap whatever the font. Shades are dot patterns.
bool IsShape(std::uint8_t byte) {
    return (byte >= 0xB0 && byte <= 0xB2) || (byte >= 0xDB && byte <= 0xDF);
}

bool ShapeCovers(std::uint8_t byte, int x, int y, int w, int h) {
    switch (byte) {
        case 0xDB:  // full block
            return true;
        case 0xDC:  // lower half
            return y >= h / 2;
        case 0xDF:  // upper half
            return y < h / 2;
        case 0xDD:  // left half
            return x < w / 2;
        case 0xDE:  // right half
            return x >= w / 2;
        case 0xB0:  // light shade: one dot in four
            return y % 2 == 0 && x % 2 == (y / 2) % 2;
        case 0xB1:  // medium shade: every other dot
            return (x + y) % 2 == 0;
        case 0xB2:  // dark shade: all but one dot in four
            return !(y % 2 == 1 && x % 2 == (y / 2) % 2);
        default:
            return false;
    }
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

void TerminalView::SetState(TtyState* state) {
    state_ = state;
    shownPos_ = ScrollPos();
    dirtyAll_ = true;
    ScheduleFrame();
}

QPoint TerminalView::ScrollPos() const {
    return state_ ? QPoint(state_->hScrollPos, state_->vScrollPos) : QPoint();
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
    glyphsStale_ = true;
}

QSize TerminalView::sizeHint() const {
    if (state_ == nullptr || state_->charWidth <= 0)
        return QAbstractScrollArea::sizeHint();
    return QSize(kScreenColumns * state_->charWidth + verticalScrollBar()->sizeHint().width(),
                 kDefaultRows * state_->lineHeight + horizontalScrollBar()->sizeHint().height());
}

void TerminalView::Beep() {
    QApplication::beep();
}

// Called for every character written: it only widens a box. A single cell
// is a character stored.
void TerminalView::Invalidate(const PixelRect* rect, bool) {
    if (rect == nullptr || state_ == nullptr) {
        dirtyAll_ = true;
    } else {
        Stir();
        if (!dirtyAll_) {
            dirty_ |= QRect(rect->left + state_->hScrollPos, rect->top + state_->vScrollPos,
                            rect->right - rect->left, rect->bottom - rect->top);
        }
    }
    ScheduleFrame();
}

// The pixels catch up with the scroll position at the next frame.
void TerminalView::ScrollContent(int dx, int dy) {
    if (dx != 0 || dy != 0)
        ScheduleFrame();
}

void TerminalView::ScheduleFrame() {
    if (frame_.isActive())
        return;
    const qint64 since = sinceFrame_.isValid() ? sinceFrame_.elapsed() : kFrameMs;
    frame_.start(static_cast<int>(std::max<qint64>(0, kFrameMs - since)), Qt::PreciseTimer, this);
}

// Moves the pixels on screen to the current scroll position and repaints what
// changed: the marked cells, the strip the move uncovers, and the caret's old
// and new places. The caret reaches the cursor here, before painting, so no
// paint ever has to move it.
void TerminalView::Flush(bool now) {
    MoveTerminalCaret(this);
    frame_.stop();
    sinceFrame_.start();
    const QRect area = viewport()->rect();
    const QPoint pos = ScrollPos();
    const QPoint moved = shownPos_ - pos;
    QRegion region;
    if (moved != QPoint() && !dirtyAll_) {
        // A repaint asked for and not yet done would not move with the pixels.
        if (paintPending_ || std::abs(moved.x()) >= area.width() ||
            std::abs(moved.y()) >= area.height()) {
            dirtyAll_ = true;
        } else {
            viewport()->scroll(moved.x(), moved.y());
            region += QRegion(area) - QRegion(area.translated(moved));
        }
    }
    shownPos_ = pos;
    const QRect caret =
        caretExists_ && caretVisible_ && blinkOn_ ? QRect(caretAt_, caretSize_) : QRect();
    if (dirtyAll_) {
        region = area;
    } else {
        if (!dirty_.isEmpty())
            region += dirty_.translated(-pos) & area;
        if (caret != shownCaret_) {
            for (const QRect& r : {shownCaret_, caret}) {
                if (!r.isEmpty())
                    region += r.translated(-pos) & area;
            }
        }
    }
    shownCaret_ = caret;
    dirty_ = QRect();
    dirtyAll_ = false;
    if (region.isEmpty())
        return;
    if (now) {
        viewport()->repaint(region);
    } else {
        paintPending_ = true;
        viewport()->update(region);
    }
}

void TerminalView::UpdateNow() {
    Flush(true);
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

QRect TerminalView::CaretRect() const {
    return QRect(caretAt_ - ScrollPos(), caretSize_);
}

void TerminalView::CreateCaret(int width, int height) {
    caretExists_ = true;
    caretVisible_ = false;
    caretSize_ = QSize(width, height);
    ScheduleFrame();
}

void TerminalView::ShowCaret() {
    if (!caretExists_)
        return;
    caretVisible_ = true;
    blinkOn_ = true;
    Stir();
    ScheduleFrame();
}

void TerminalView::HideCaret() {
    if (!caretExists_)
        return;
    caretVisible_ = false;
    UpdateCaretBlink();
    ScheduleFrame();
}

void TerminalView::DestroyCaret() {
    caretExists_ = false;
    caretVisible_ = false;
    UpdateCaretBlink();
    ScheduleFrame();
}

void TerminalView::SetCaretPos(int x, int y) {
    const QPoint at = QPoint(x, y) + ScrollPos();
    if (at == caretAt_)
        return;
    caretAt_ = at;
    blinkOn_ = true;
    Stir();
    if (caretExists_)
        ScheduleFrame();
}

// Called for every character: cheap while the caret blinks anyway.
void TerminalView::Stir() {
    stirred_ = clock_->Now();
    if (!blink_.isActive() && caretExists_ && caretVisible_)
        UpdateCaretBlink();
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
    if (event->timerId() == frame_.timerId()) {
        Flush(false);
    } else if (event->timerId() == blink_.timerId()) {
        const bool idle = clock_->Now() - stirred_ >= kBlinkTimeout;
        if (idle)
            blink_.stop();
        // Idle, the caret stays shown.
        const bool on = idle || !blinkOn_;
        if (on != blinkOn_) {
            blinkOn_ = on;
            ScheduleFrame();
        }
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
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
        SizeTerminal(this, static_cast<std::uint16_t>(std::clamp(size.height(), 0, 0xFFFF)),
                     static_cast<std::uint16_t>(std::clamp(size.width(), 0, 0xFFFF)));
    } while (sizeAgain_);
    sizing_ = false;
}

// Renders every byte once into a cell of its own, in the text colour on
// transparent: glyphs through the terminal font (with the toolkit's fallback
// for the ones it lacks), block and shade characters as shapes. A glyph that
// reaches beyond its cell is cut at the cell's edge.
void TerminalView::BuildGlyphCells() {
    const TtyState& s = *state_;
    const qreal dpr = viewport()->devicePixelRatioF();
    const QSize cell(std::max(1, qRound(s.charWidth * dpr)),
                     std::max(1, qRound(s.lineHeight * dpr)));
    if (!glyphsStale_ && cell == glyphCellSize_ && s.textColour == glyphColour_ &&
        qFuzzyCompare(glyphCells_.devicePixelRatio(), dpr))
        return;
    glyphsStale_ = false;
    glyphCellSize_ = cell;
    glyphColour_ = s.textColour;
    const QColor ink = ColorFromRef(s.textColour);
    const QRgb inkPixel = qPremultiply(ink.rgba());
    glyphCells_ =
        QImage(16 * cell.width(), 16 * cell.height(), QImage::Format_ARGB32_Premultiplied);
    glyphCells_.fill(Qt::transparent);
    QPainter p(&glyphCells_);
    p.setFont(font_);
    p.setPen(ink);
    const auto& glyphs = Glyphs();
    for (int b = 0; b < 256; ++b) {
        const QRect at((b % 16) * cell.width(), (b / 16) * cell.height(), cell.width(),
                       cell.height());
        const auto byte = static_cast<std::uint8_t>(b);
        if (IsShape(byte)) {
            for (int y = 0; y < cell.height(); ++y) {
                for (int x = 0; x < cell.width(); ++x) {
                    if (ShapeCovers(byte, x, y, cell.width(), cell.height()))
                        glyphCells_.setPixel(at.x() + x, at.y() + y, inkPixel);
                }
            }
            continue;
        }
        p.save();
        p.setClipRect(at);
        p.translate(at.topLeft());
        p.scale(dpr, dpr);
        p.drawText(QPointF(0, ascent_), glyphs[byte]);
        p.restore();
    }
    p.end();
    for (int b = 0; b < 256; ++b) {
        bool inked = false;
        for (int y = 0; y < cell.height() && !inked; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(
                glyphCells_.constScanLine((b / 16) * cell.height() + y));
            for (int x = 0; x < cell.width() && !inked; ++x)
                inked = qAlpha(line[(b % 16) * cell.width() + x]) != 0;
        }
        inked_[static_cast<std::size_t>(b)] = inked;
    }
    glyphCells_.setDevicePixelRatio(dpr);
}

// Draws every strike of the cells that meet area, each from its glyph cell.
void TerminalView::PaintCells(QPainter& p, const QRect& area) {
    const TtyState& s = *state_;
    // The pixels on screen may lag behind the scroll position until the next
    // frame; paint for the position they show.
    const QPoint lag = shownPos_ - ScrollPos();
    const PaintSpan span =
        CellsToPaint(s, {area.left() + lag.x(), area.top() + lag.y(), area.right() + 1 + lag.x(),
                         area.bottom() + 1 + lag.y()});
    const int w = glyphCellSize_.width();
    const int h = glyphCellSize_.height();
    for (int row = span.firstRow; row <= span.lastRow; ++row) {
        const int y = row * s.lineHeight - shownPos_.y();
        for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
            const QPointF at(column * s.charWidth - shownPos_.x(), y);
            ForEachStrike(s, row, column, [&](std::uint8_t b) {
                if (inked_[b])
                    p.drawImage(at, glyphCells_, QRectF((b % 16) * w, (b / 16) * h, w, h));
            });
        }
    }
}

// Erases what is to be painted and draws it again from the buffer; the caret
// inverts its cell.
void TerminalView::paintEvent(QPaintEvent* event) {
    paintPending_ = false;
    QPainter p(viewport());
    const bool cells = state_ != nullptr && state_->charWidth > 0 && state_->lineHeight > 0;
    if (cells)
        BuildGlyphCells();
    for (const QRect& r : event->region()) {
        p.setClipRect(r);
        p.fillRect(r, Background());
        if (cells)
            PaintCells(p, r);
    }
    if (!shownCaret_.isEmpty()) {
        p.setClipRegion(event->region());
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.fillRect(shownCaret_.translated(-shownPos_), Qt::black);
    }
}

// Keys belong to the main window, not to scrolling; each one wakes the
// caret.
void TerminalView::keyPressEvent(QKeyEvent* event) {
    Stir();
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

void TerminalView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    ShowTerminalCaret(this);
}

void TerminalView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    HideTerminalCaret(this);
}

int ApplyFont(TerminalView* window, ViewMetrics* view) {
    if (view == nullptr || window == nullptr)
        return 0;
    window->SetTerminalFont(FontFromLogFont(view->logFont));
    const QFontMetrics metrics(window->TerminalFont());
    // The cell is a glyph's advance: some fixed-pitch fonts round their
    // declared average width differently, and cells would drift from glyphs.
    view->charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    view->lineHeight = std::max(1, metrics.height() + std::max(0, metrics.leading()));
    // The scroll ranges follow the new cell size, and everything is repainted
    // in the new font.
    window->SizeToClient();
    return 1;
}

}  // namespace tavirel
