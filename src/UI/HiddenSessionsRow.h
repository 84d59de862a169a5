#pragma once

#include <QAbstractButton>

namespace velquist {

// The footer's switch for silenced sessions: "3 hidden sessions" with a crossed eye, or "Showing
// hidden sessions" with an open eye. `clicked` flips the switch.
class HiddenSessionsRow : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit HiddenSessionsRow(QWidget* parent = nullptr);

    void setState(int hiddenCount, bool revealsHidden);
    QSize sizeHint() const override;

    static QString label(int hiddenCount, bool revealsHidden);
    static QString glyph(bool revealsHidden) { return revealsHidden ? "eye.fill" : "eye.slash"; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_hiddenCount = 0;
    bool m_reveals = false;
};

} // namespace velquist
