#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace velquist {

// Follows whether the panel that hosts a widget is at least partly on screen (shown and exposed),
// for views that stop work while nobody can see them. A view never shown is not visible; one
// outside a notch panel counts as visible once it has been shown.
class PanelVisibility final : public QObject
{
    Q_OBJECT
  public:
    // Watches the top-level window of `view` as it is when the view is first shown.
    explicit PanelVisibility(QWidget* view);

    bool isVisible() const { return m_visible; }

  Q_SIGNALS:
    void visibleChanged(bool visible);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void attach();
    void update();

    QPointer<QWidget> m_view;
    QPointer<QWindow> m_window;
    bool m_attached = false;
    bool m_visible = false;
};

} // namespace velquist
