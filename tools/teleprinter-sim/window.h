// The window: the paper roll as it prints, and the keys to answer with.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QScrollArea;

namespace tpsim {

class Session;

class PaperView : public QWidget {
  public:
    explicit PaperView(const Session& session, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const Session& session_;
};

class Window : public QWidget {
  public:
    explicit Window(Session& session, QWidget* parent = nullptr);

  private:
    void refresh();
    void send();

    Session& session_;
    PaperView* view_;
    QScrollArea* scroll_;
    QLineEdit* input_;
    QLabel* status_;
    QString message_;
    int lastCount_ = -1;
};

}  // namespace tpsim
