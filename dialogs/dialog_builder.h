// Makes a modal Qt dialog from a template, and the one message-box function.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>

#include "resources/dialog_templates.h"

namespace tavirel {

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// A dialog built from a template. Buttons report their id through
// Command(); closing is the dialog logic's decision (End()).
class TemplateDialog : public QDialog {
    Q_OBJECT
  public:
    // The control with this id; null when there is none.
    QWidget* Item(int id) const;
    template <typename T>
    T* ItemAs(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    // Ends the modal loop with this result.
    void End(int result) { done(result); }
    const DialogTemplate& Template() const { return *template_; }

  signals:
    // A button was pressed, or (with a system menu) the close box or Escape
    // asked to cancel: IDCANCEL.
    void Command(int id);

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    friend TemplateDialog* BuildDialog(int templateId, QWidget* owner);
    TemplateDialog(const DialogTemplate& t, QWidget* owner);
    const DialogTemplate* template_;
    std::map<int, QWidget*> items_;
};

// Null for an unknown template id. The dialog is owned by the caller.
TemplateDialog* BuildDialog(int templateId, QWidget* owner);

// Pixels for dialog units with a template's font.
QPoint DialogUnitsToPixels(const DialogTemplate& t, int x, int y);

enum class MessageIcon { Information, Warning, Question, Error };
enum class MessageButtons { Ok, OkCancel };

// The one message box. Returns IDOK or IDCANCEL.
int ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                MessageButtons buttons = MessageButtons::Ok);

// Tests replace the message box so that nothing blocks; null restores it.
using MessageHandler = std::function<int(QWidget* owner, const QString& text,
                                         const QString& caption, MessageIcon, MessageButtons)>;
void SetMessageHandler(MessageHandler handler);

}  // namespace tavirel
