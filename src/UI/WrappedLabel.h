#pragma once

#include <QLabel>

#include <array>

namespace velquist {

// A word-wrapping plain-text label that keeps what it measured: a label's own measuring of wrapped
// text lays the text out afresh on every question, and a layout asks for the natural size, the
// smallest and the height at a few widths, each several times per pass. Kept until the text or
// the font changes.
class WrappedLabel : public QLabel
{
    Q_OBJECT
  public:
    WrappedLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

  private:
    // Drops the kept sizes when what they were measured for changed.
    void follow() const;

    mutable QString m_text;
    mutable QFont m_font;
    mutable QSize m_hint;
    mutable QSize m_minimum;
    struct Height
    {
        int width = -1;
        int height = 0;
    };
    mutable std::array<Height, 3> m_heights;
    mutable std::size_t m_next = 0;
};

} // namespace velquist
