#include "dialogs/dialog_builder.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStylePainter>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "resources/images.h"

namespace tavirel {

namespace {

// Rounds half away from zero, as the dialog manager's scaling does.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

QPoint ToPixels(QSize base, int x, int y) {
    return {MulDiv(x, base.width(), 4), MulDiv(y, base.height(), 8)};
}

// Templates write a lone "&" before a blank ("Done & Exit") meaning the
// character itself; Qt would make the blank the mnemonic and hide the "&".
QString ToQtMnemonics(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'&') {
            out += c;
        } else if (i + 1 < text.size() && text[i + 1] == u'&') {
            out += QStringLiteral("&&");
            ++i;
        } else if (i + 1 == text.size() || text[i + 1].isSpace()) {
            out += QStringLiteral("&&");
        } else {
            out += c;
        }
    }
    return out;
}

QString FromQtMnemonics(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == u'&' && i + 1 < text.size() && text[i + 1] == u'&') {
            const bool beforeBlank = i + 2 == text.size() || text[i + 2].isSpace();
            if (!beforeBlank)
                out += u'&';
            ++i;
        }
    }
    return out;
}

// The text a label shows when nothing follows it to take the mnemonic's focus.
QString WithoutMnemonics(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

// A group box as the templates lay it out: the frame line runs through the
// middle of the title, so the controls the template places just below the
// title clear it (Qt styles put the whole title above the frame). Its
// mnemonic moves the focus to the control after it, as a label's does; Qt's
// own looks only among the box's children.
class TemplateGroupBox : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;
    QWidget* next = nullptr;

  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Shortcut && next != nullptr) {
            next->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
        return QGroupBox::event(e);
    }

    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        // Styles draw their group frame below a title row of their own, so
        // the etched line is drawn here.
        qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true, 1,
                       0);

        if (title().isEmpty())
            return;
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine |
                          (style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)
                               ? Qt::TextShowMnemonic
                               : Qt::TextHideMnemonic);
        const int inset = metrics.averageCharWidth();
        QRect text = metrics.boundingRect(rect().adjusted(inset, 0, -inset, 0), flags, title());
        text &= rect().adjusted(inset, 0, -inset, 0);
        painter.fillRect(text.adjusted(-2, 0, 2, 0), palette().window());
        painter.drawItemText(text, flags, palette(), isEnabled(), title(), QPalette::WindowText);
    }
};

Qt::WindowFlags FlagsFor(const DialogTemplate& t) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (t.systemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    return flags;
}

bool TakesFocus(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) != 0;
}

constexpr int kUnbounded = 1 << 20;
// Room a push button's style keeps beside its label.
constexpr int kButtonTextMargin = 6;

// The size a control's text needs, in the control's own font, when the
// control is this wide: a static text wraps its words, so it needs height;
// the others are one line and need width only.
QSize TextNeed(const QWidget* w, ControlKind kind, int width) {
    const QFontMetrics metrics = w->fontMetrics();
    switch (kind) {
        case ControlKind::Label: {
            const auto* label = static_cast<const QLabel*>(w);
            const int flags = Qt::TextWordWrap | static_cast<int>(label->alignment()) |
                              (label->buddy() != nullptr ? Qt::TextShowMnemonic : 0);
            return metrics.boundingRect(QRect(0, 0, width, kUnbounded), flags, label->text())
                .size();
        }
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            return {w->sizeHint().width(), 0};
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
            return {
                metrics.size(Qt::TextShowMnemonic, static_cast<const QAbstractButton*>(w)->text())
                        .width() +
                    kButtonTextMargin,
                0};
        case ControlKind::GroupBox:
            return {metrics.size(Qt::TextShowMnemonic, static_cast<const QGroupBox*>(w)->title())
                            .width() +
                        2 * metrics.averageCharWidth(),
                    0};
        default:
            return {0, 0};
    }
}

bool TextFits(const QWidget* w, ControlKind kind, QSize size) {
    const QSize need = TextNeed(w, kind, size.width());
    return need.width() <= size.width() && need.height() <= size.height();
}

}  // namespace

QFont DialogFont(const DialogTemplate& t) {
    const QString face = QString::fromLatin1(t.face);
    QFont font;
    if (QFontDatabase::hasFamily(face))
        font = QFont(face);
    else if (QFontInfo(QFont(face)).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    else
        font = QApplication::font();
    font.setPointSize(t.pointSize);
    return font;
}

QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

QPoint DialogUnitsToPixels(const DialogTemplate& t, int x, int y) {
    return ToPixels(DialogBaseUnits(DialogFont(t)), x, y);
}

TemplateDialog::TemplateDialog(const DialogTemplate& t, QWidget* owner)
    : QDialog(owner, FlagsFor(t)), template_(&t) {
    setModal(true);
    setWindowTitle(QString::fromLatin1(t.caption));
    const QFont font = DialogFont(t);
    setFont(font);
    const QSize base = DialogBaseUnits(font);
    const QPoint size = ToPixels(base, t.cx, t.cy);
    setFixedSize(size.x(), size.y());
    // The template places the dialog relative to its owner's top left.
    if (owner != nullptr)
        move(owner->mapToGlobal(QPoint(0, 0)) + ToPixels(base, t.x, t.y));

    const int itemHeight = QFontMetrics(font).height();
    std::vector<QWidget*>& widgets = controls_;
    widgets.reserve(t.controls.size());
    QButtonGroup* radios = nullptr;

    for (const ControlTemplate& c : t.controls) {
        const QString text = QString::fromLatin1(c.text);
        const QPoint pos = ToPixels(base, c.x, c.y);
        const QPoint extent = ToPixels(base, c.cx, c.cy);
        QRect geometry(pos, QSize(extent.x(), extent.y()));
        if ((c.style & kGroup) != 0)
            radios = nullptr;

        QWidget* w = nullptr;
        switch (c.kind) {
            case ControlKind::GroupBox: {
                auto* box = new TemplateGroupBox(ToQtMnemonics(text), this);
                // Clicks go to the controls drawn inside the frame.
                box->setAttribute(Qt::WA_TransparentForMouseEvents);
                w = box;
                break;
            }
            case ControlKind::Label: {
                auto* label = new QLabel(this);
                label->setTextFormat(Qt::PlainText);
                label->setWordWrap(true);
                label->setAlignment(
                    ((c.style & kAlignRight) != 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
                label->setText(text);
                w = label;
                break;
            }
            case ControlKind::DropDownList:
            case ControlKind::ComboBox: {
                auto* combo = new QComboBox(this);
                if (c.kind == ControlKind::ComboBox) {
                    combo->setEditable(true);
                    combo->setInsertPolicy(QComboBox::NoInsert);
                }
                // The template's height is that of the dropped list.
                const int boxHeight = combo->sizeHint().height();
                combo->setMaxVisibleItems(
                    std::max(1, (geometry.height() - boxHeight) / std::max(1, itemHeight)));
                geometry.setHeight(boxHeight);
                w = combo;
                break;
            }
            case ControlKind::CheckBox:
                w = new QCheckBox(ToQtMnemonics(text), this);
                break;
            case ControlKind::RadioButton: {
                auto* radio = new QRadioButton(ToQtMnemonics(text), this);
                if (radios == nullptr)
                    radios = new QButtonGroup(this);
                radios->addButton(radio);
                w = radio;
                break;
            }
            case ControlKind::PushButton:
            case ControlKind::DefaultPushButton: {
                auto* button = new QPushButton(ToQtMnemonics(text), this);
                // Enter presses the focused button, the default one otherwise.
                button->setAutoDefault(true);
                button->setDefault(c.kind == ControlKind::DefaultPushButton);
                w = button;
                break;
            }
            case ControlKind::Icon: {
                auto* icon = new QLabel(this);
                if (const char* path = ResourceImagePath(std::atoi(c.text))) {
                    const QPixmap pixmap(QString::fromLatin1(path));
                    icon->setPixmap(pixmap);
                    // An icon control takes the icon's size, whatever the template says.
                    geometry.setSize(pixmap.size());
                }
                w = icon;
                break;
            }
            case ControlKind::Edit: {
                const bool readOnly = (c.style & kReadOnly) != 0;
                const bool border = (c.style & kBorder) != 0;
                if ((c.style & kMultiLine) != 0) {
                    auto* edit = new QPlainTextEdit(this);
                    edit->setReadOnly(readOnly);
                    edit->setTabChangesFocus(true);
                    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                    edit->setVerticalScrollBarPolicy(
                        (c.style & kVScroll) != 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
                    if (!border)
                        edit->setFrameShape(QFrame::NoFrame);
                    w = edit;
                } else {
                    auto* edit = new QLineEdit(this);
                    edit->setReadOnly(readOnly);
                    edit->setFrame(border);
                    if ((c.style & kAlignRight) != 0)
                        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                    w = edit;
                }
                break;
            }
        }

        w->setGeometry(geometry);
        if (c.id != kNoId) {
            w->setObjectName(QStringLiteral("item%1").arg(c.id));
            items_[c.id] = w;
            templates_[c.id] = &c;
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                connect(button, &QAbstractButton::clicked, this,
                        [this, id = c.id] { emit Command(id); });
        }
        // A read-only box that is no tab stop only shows a value: Tab passes it.
        if (c.kind == ControlKind::Edit && (c.style & (kReadOnly | kTabStop)) == kReadOnly)
            w->setFocusPolicy(Qt::ClickFocus);
        if ((c.style & kDisabled) != 0)
            w->setEnabled(false);
        if ((c.style & kHidden) != 0)
            w->hide();
        widgets.push_back(w);
        placed_.push_back(geometry);
    }

    // A label's or a group box's mnemonic focuses the next control that takes
    // the focus; the template order is the tab order.
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        QWidget* w = widgets[i];
        if (TakesFocus(w)) {
            if (previous != nullptr)
                setTabOrder(previous, w);
            previous = w;
            continue;
        }
        QWidget* next = nullptr;
        for (std::size_t j = i + 1; j < widgets.size() && next == nullptr; ++j) {
            if (TakesFocus(widgets[j]))
                next = widgets[j];
        }
        const ControlTemplate& c = t.controls[i];
        if (auto* box = dynamic_cast<TemplateGroupBox*>(w)) {
            box->next = next;
        } else if (auto* label = qobject_cast<QLabel*>(w);
                   label != nullptr && c.kind == ControlKind::Label && (c.style & kNoPrefix) == 0) {
            if (next != nullptr)
                label->setBuddy(next);
            else
                label->setText(WithoutMnemonics(label->text()));
        }
    }
    for (std::size_t i = 0; i < widgets.size(); ++i)
        FitText(i);
}

// The desktop's fonts set a text wider, or wrap it onto more lines, than the
// template's font did. A text that would be cut off takes the free room
// beside it: a static text first below (its lines wrap downward), then toward
// the side it runs to; a check box or radio button to the right. Only a text
// that still does not fit is set smaller. The room ends at the next control,
// at the group box holding the control, and at the dialog's edge.
void TemplateDialog::FitText(std::size_t index) {
    const ControlKind kind = template_->controls[index].kind;
    if (kind == ControlKind::Edit || kind == ControlKind::ComboBox ||
        kind == ControlKind::DropDownList || kind == ControlKind::Icon)
        return;
    QWidget* w = controls_[index];
    const QRect placed = placed_[index];
    if (w->testAttribute(Qt::WA_SetFont))
        w->setFont(QFont());  // back to the dialog's
    w->setGeometry(placed);
    if (TextFits(w, kind, placed.size()))
        return;

    const QSize base = DialogBaseUnits(font());
    const QPoint margin = ToPixels(base, 2, 2);
    const QPoint gap = ToPixels(base, 1, 1);
    QRect inside = rect().adjusted(margin.x(), margin.y(), -margin.x(), -margin.y());
    std::vector<QRect> others;
    for (std::size_t j = 0; j < controls_.size(); ++j) {
        const ControlTemplate& c = template_->controls[j];
        if (j == index || (c.style & kHidden) != 0)
            continue;
        const QRect other = controls_[j]->geometry();
        if (c.kind == ControlKind::GroupBox && other.contains(placed)) {
            // The innermost box holding the control bounds it.
            const QRect box = other.adjusted(margin.x(), margin.y(), -margin.x(), -margin.y());
            if (inside.contains(box))
                inside = box;
        } else {
            others.push_back(other);
        }
    }
    const auto endBelow = [&](const QRect& r) {
        int end = inside.y() + inside.height();
        for (const QRect& o : others) {
            if (o.x() < r.x() + r.width() && r.x() < o.x() + o.width() &&
                o.y() >= r.y() + r.height())
                end = std::min(end, o.y() - gap.y());
        }
        return end;
    };
    const auto endRight = [&](const QRect& r) {
        int end = inside.x() + inside.width();
        for (const QRect& o : others) {
            if (o.y() < r.y() + r.height() && r.y() < o.y() + o.height() &&
                o.x() >= r.x() + r.width())
                end = std::min(end, o.x() - gap.x());
        }
        return end;
    };
    const auto endLeft = [&](const QRect& r) {
        int end = inside.x();
        for (const QRect& o : others) {
            if (o.y() < r.y() + r.height() && r.y() < o.y() + o.height() &&
                o.x() + o.width() <= r.x())
                end = std::max(end, o.x() + o.width() + gap.x());
        }
        return end;
    };
    const auto growDown = [&](QRect r) {
        const int need = TextNeed(w, kind, r.width()).height();
        r.setHeight(std::max(r.height(), std::min(need, endBelow(r) - r.y())));
        return r;
    };
    const auto widen = [&](QRect r) {
        const int need = TextNeed(w, kind, kUnbounded).width();
        if (kind == ControlKind::Label && (template_->controls[index].style & kAlignRight) != 0) {
            r.setLeft(std::min(r.left(), std::max(endLeft(r), r.right() + 1 - need)));
        } else {
            r.setWidth(std::max(r.width(), std::min(need, endRight(r) - r.x())));
        }
        return r;
    };

    QRect fitted = placed;
    if (kind == ControlKind::Label) {
        fitted = growDown(placed);
        if (!TextFits(w, kind, fitted.size()))
            fitted = growDown(widen(placed));
    } else if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton) {
        fitted = widen(placed);
    }
    w->setGeometry(fitted);
    // No room left: a smaller size of the same font.
    QFont smaller = font();
    const qreal smallest = smaller.pointSizeF() * 0.6;
    while (!TextFits(w, kind, fitted.size()) && smaller.pointSizeF() - 0.5 >= smallest) {
        smaller.setPointSizeF(smaller.pointSizeF() - 0.5);
        w->setFont(smaller);
    }
}

QWidget* TemplateDialog::Item(int id) const {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

const ControlTemplate* TemplateDialog::ItemTemplate(int id) const {
    const auto it = templates_.find(id);
    return it == templates_.end() ? nullptr : it->second;
}

QString TemplateDialog::ItemText(int id) const {
    QWidget* w = Item(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return FromQtMnemonics(button->text());
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return FromQtMnemonics(box->title());
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w))
        return edit->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    return {};
}

void TemplateDialog::SetItemText(int id, const QString& text) {
    QWidget* w = Item(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(ToQtMnemonics(text));
    else if (auto* box = qobject_cast<QGroupBox*>(w))
        box->setTitle(ToQtMnemonics(text));
    else if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(w))
        edit->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo != nullptr && combo->isEditable())
        combo->setEditText(text);
    if (const auto at = std::find(controls_.begin(), controls_.end(), w); at != controls_.end())
        FitText(static_cast<std::size_t>(at - controls_.begin()));
}

bool TemplateDialog::Checked(int id) const {
    const auto* button = ItemAs<QAbstractButton>(id);
    return button != nullptr && button->isChecked();
}

void TemplateDialog::SetChecked(int id, bool checked) {
    if (auto* button = ItemAs<QAbstractButton>(id))
        button->setChecked(checked);
}

void TemplateDialog::reject() {
    // Escape: without a system menu nothing happens; with one, the dialog
    // logic hears a cancel and decides.
    if (template_->systemMenu)
        emit Command(IDCANCEL);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
    // A focused button takes Enter itself. Elsewhere Enter asks for the
    // template's default button; without one nothing answers, where Qt
    // would press the first button it finds.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && std::none_of(template_->controls.begin(), template_->controls.end(),
                              [](const ControlTemplate& c) {
                                  return c.kind == ControlKind::DefaultPushButton;
                              })) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    event->ignore();
    if (template_->systemMenu)
        emit Command(IDCANCEL);
}

TemplateDialog* BuildDialog(int templateId, QWidget* owner) {
    const DialogTemplate* t = FindDialogTemplate(templateId);
    return t == nullptr ? nullptr : new TemplateDialog(*t, owner);
}

}  // namespace tavirel
