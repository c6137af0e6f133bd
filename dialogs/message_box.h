// The one message box, and the seam tests answer it through.
#pragma once

#include <QString>
#include <functional>

#include "resources/ids.h"

class QWidget;

namespace tavirel {

enum class MessageIcon { Information, Warning, Question, Error, None };
enum class MessageButtons { Ok, OkCancel, YesNoCancel };

// Shows a modal box with plain text; returns the button pressed: IDOK, IDYES,
// IDNO or IDCANCEL (also when the box is closed without one).
int ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                MessageButtons buttons = MessageButtons::Ok);

// The system's text for an errno value.
QString SystemError(int error);

// Tests: the handler sees every box instead of the operator and gives its
// answer, so that nothing blocks; null shows the boxes again.
using MessageHandler = std::function<int(QWidget* owner, const QString& text,
                                         const QString& caption, MessageIcon, MessageButtons)>;
void SetMessageHandler(MessageHandler handler);

}  // namespace tavirel
