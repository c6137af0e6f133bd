// Makes a modal Qt dialog from a template.
#pragma once

#include <QDialog>
#include <QFont>
#include <QSize>
#include <QString>
#include <map>
#include <vector>

#include "resources/dialog_templates.h"

namespace tavirel {

// A dialog built from a template. Buttons (push buttons, check boxes, radio
// buttons) report their id through Command() when clicked; closing is the
// dialog logic's decision (End()).
class TemplateDialog : public QDialog {
    Q_OBJECT
  public:
    // The control with this id; null when there is none.
    QWidget* Item(int id) const;
    template <typename T>
    T* ItemAs(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    // The template entry of the control with this id; null when there is none.
    const ControlTemplate* ItemTemplate(int id) const;
    // The control made from the template's control at this index, ids or
    // not; null past the end.
    QWidget* Control(std::size_t index) const {
        return index < controls_.size() ? controls_[index] : nullptr;
    }
    // A control's text as a template writes it ("&" marks a mnemonic); a
    // multi-line edit's lines end in "\r\n". Empty for an unknown id.
    QString ItemText(int id) const;
    // A static text that would be cut off takes the room free around it.
    void SetItemText(int id, const QString& text);
    // A check box's or radio button's state; false for any other id.
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    // Ends the modal loop with this result.
    void End(int result) {
        ending_ = true;
        done(result);
        ending_ = false;
    }
    const DialogTemplate& Template() const { return *template_; }

  signals:
    // A button was pressed, or (with a system menu) the close box or Escape
    // asked to cancel: IDCANCEL.
    void Command(int id);

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    friend TemplateDialog* BuildDialog(int templateId, QWidget* owner);
    TemplateDialog(const DialogTemplate& t, QWidget* owner);
    void FitText(std::size_t index);
    const DialogTemplate* template_;
    std::vector<QWidget*> controls_;  // in template order
    std::vector<QRect> placed_;       // where the template puts each
    std::map<int, QWidget*> items_;
    std::map<int, const ControlTemplate*> templates_;
    bool ending_ = false;
};

// Null for an unknown template id. The dialog is owned by the caller.
TemplateDialog* BuildDialog(int templateId, QWidget* owner);

// Pixels for dialog units with a template's font.
QPoint DialogUnitsToPixels(const DialogTemplate& t, int x, int y);

// The font a template's dialog is drawn with: its face when installed, else
// the desktop's fixed-pitch font for a fixed-pitch face and the application
// font for any other, at the template's point size.
QFont DialogFont(const DialogTemplate& t);

// A font's dialog base units: the average character width (of the 52
// letters, rounded) and the character height, in pixels.
QSize DialogBaseUnits(const QFont& font);

}  // namespace tavirel
