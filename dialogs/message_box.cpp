#include "dialogs/message_box.h"

#include <QMessageBox>
#include <cstring>
#include <utility>

namespace tavirel {

namespace {

MessageHandler& Handler() {
    static MessageHandler handler;
    return handler;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::None:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::Information;
}

}  // namespace

int ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                MessageButtons buttons) {
    if (const MessageHandler& handler = Handler())
        return handler(owner, text, caption, icon, buttons);

    QMessageBox::StandardButtons shown = QMessageBox::Ok;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    switch (buttons) {
        case MessageButtons::Ok:
            break;
        case MessageButtons::OkCancel:
            shown = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case MessageButtons::YesNoCancel:
            shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            first = QMessageBox::Yes;
            break;
    }
    QMessageBox box(BoxIcon(icon), caption, text, shown, owner);
    // Texts are paths and fixed messages, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(first);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

void SetMessageHandler(MessageHandler handler) {
    Handler() = std::move(handler);
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace tavirel
