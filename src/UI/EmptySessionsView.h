#pragma once

#include <QWidget>

namespace velquist {

// What the open list shows with nothing to list: a faint ring and "No active sessions".
class EmptySessionsView : public QWidget
{
    Q_OBJECT
  public:
    explicit EmptySessionsView(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velquist
