#pragma once

#include <QAbstractButton>

namespace velquist {

// One of the tour card's buttons: a quiet text (Back, Skip tour), a secondary title
// or the violet call to action, with an arrow unless it ends the tour. Never takes focus; the
// card handles the keyboard.
class IntroCardButton final : public QAbstractButton
{
    Q_OBJECT
  public:
    enum class Kind { quiet, secondary, primary };

    IntroCardButton(Kind kind, const QString& title, bool arrow = false, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QFont labelFont() const;

    Kind m_kind;
    bool m_arrow;
};

} // namespace velquist
