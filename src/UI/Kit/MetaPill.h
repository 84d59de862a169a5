#pragma once

#include <QColor>
#include <QWidget>

namespace velquist {

// A small caption on a filled capsule ("plan", a model name); takes no input.
class MetaPill : public QWidget
{
    Q_OBJECT
  public:
    MetaPill(const QString& text, const QColor& fill, const QColor& textColor, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_text;
    QColor m_fill;
    QColor m_textColor;
};

} // namespace velquist
