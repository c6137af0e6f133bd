#include "window.h"

#include "session.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace tpsim {

PaperView::PaperView(const Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {}

QSize PaperView::sizeHint() const {
    return session_.printer().paper().pixelSize();
}

void PaperView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(252, 251, 245));
    // Only what the machine has printed by now, so the paper fills in at the
    // line's pace.
    session_.printer().paper().paint(painter, nowMs());
}

Window::Window(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
    setWindowTitle(QStringLiteral("Teleprinter"));

    view_ = new PaperView(session, this);
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(view_);
    scroll_->setBackgroundRole(QPalette::Dark);

    input_ = new QLineEdit(this);
    input_->setPlaceholderText(QStringLiteral("Text to type back (\\r, \\n for CR, LF)"));
    auto* sendButton = new QPushButton(QStringLiteral("Send"), this);
    auto* xoff = new QPushButton(QStringLiteral("XOFF"), this);
    auto* xon = new QPushButton(QStringLiteral("XON"), this);
    auto* hangUp = new QPushButton(QStringLiteral("Hang up"), this);
    status_ = new QLabel(this);

    auto* keys = new QHBoxLayout;
    keys->addWidget(input_, 1);
    keys->addWidget(sendButton);
    keys->addWidget(xoff);
    keys->addWidget(xon);
    keys->addWidget(hangUp);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addLayout(keys);
    layout->addWidget(status_);

    connect(sendButton, &QPushButton::clicked, this, &Window::send);
    connect(input_, &QLineEdit::returnPressed, this, &Window::send);
    connect(xoff, &QPushButton::clicked, this,
            [this] { session_.sendControl(19, [this](int) { refresh(); }); });
    connect(xon, &QPushButton::clicked, this,
            [this] { session_.sendControl(17, [this](int) { refresh(); }); });
    connect(hangUp, &QPushButton::clicked, this, [this] {
        session_.hangUp();
        refresh();
    });

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &Window::refresh);
    timer->start(50);

    const QSize paper = view_->sizeHint();
    resize(paper.width() + 40, 600);
    refresh();
}

void Window::send() {
    const QString error = session_.type(input_->text(), [this](int lost) {
        if (lost > 0) {
            message_ = QStringLiteral("%1 bytes lost: no terminal on the line").arg(lost);
        }
    });
    message_ = error;
    if (error.isEmpty()) {
        input_->clear();
    }
}

void Window::refresh() {
    const auto& printer = session_.printer();
    // The roll fills the view even before much is printed.
    const QSize want(view_->sizeHint().width(),
                     std::max(view_->sizeHint().height(), scroll_->viewport()->height()));
    if (view_->size() != want) {
        view_->resize(want);
    }
    view_->update();
    if (printer.count() != lastCount_) {
        // Follow the carriage down the roll.
        lastCount_ = printer.count();
        scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->maximum());
    }
    Line& line = session_.line();
    status_->setText(QStringLiteral("%1 — %2 — printed %3, bells %4, hang-ups %5")
                         .arg(line.isOpen() ? line.slavePath() : QStringLiteral("line dropped"),
                              line.attached() ? QStringLiteral("terminal attached")
                                              : QStringLiteral("no terminal"))
                         .arg(printer.count())
                         .arg(printer.paper().bells())
                         .arg(line.hangups()) +
                     (message_.isEmpty() ? QString() : QStringLiteral(" — ") + message_));
}

}  // namespace tpsim
