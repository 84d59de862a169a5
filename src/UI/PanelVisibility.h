#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace velquist {

// Keeps track of whether the window that hosts a view can be seen: the view is shown and its
// top-level window is exposed (mapped and not fully covered, as far as the window system tells).
// A hidden, unmapped or minimised panel counts as not visible, so animations can stop.
class PanelVisibility final : public QObject
{
    Q_OBJECT
  public:
    explicit PanelVisibility(QWidget* view);

    bool isVisible() const { return m_visible; }

  Q_SIGNALS:
    void visibilityChanged(bool visible);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void attachWindow();
    void refresh();

    QPointer<QWidget> m_view;
    QPointer<QWindow> m_window;
    bool m_visible = false;
};

} // namespace velquist
