// Answers every message box while it lives, keeping "<icon initial> <caption>: <text>".
#pragma once

#include <QStringList>
#include <functional>
#include <vector>

#include "dialogs/message_box.h"

namespace tavirel::test {

struct MessageLog {
    MessageLog() {
        SetMessageHandler([this](QWidget* owner, const QString& text, const QString& caption,
                                 MessageIcon icon, MessageButtons) {
            owners.push_back(owner);
            shown << QStringLiteral("%1 %2: %3").arg(QChar("IWQEN"[int(icon)]), caption, text);
            if (whileShown)
                whileShown();
            return answer;
        });
    }
    ~MessageLog() { SetMessageHandler(nullptr); }
    std::string Joined() const { return shown.join('|').toStdString(); }

    QStringList shown;
    std::vector<QWidget*> owners;
    int answer = IDOK;
    // Runs while a box is up, as a real box's own event loop would.
    std::function<void()> whileShown;
};

}  // namespace tavirel::test
