#pragma once

#include <QLabel>
#include <QStringList>
#include <array>

namespace velquist {

// Plain text on at most `maxLines` lines; a longer text is shortened in the middle, so both the
// start and the end of a long path stay in view. Selectable when asked.
class ElidedLabel : public QLabel
{
    Q_OBJECT
  public:
    ElidedLabel(const QString& text, const QFont& font, const QColor& colour, int maxLines,
                QWidget* parent = nullptr);

    // The lines `text` takes at `width`, shortened (in the middle unless `mode` says otherwise) to fit
    // `maxLines`. Pure.
    static QStringList layoutLines(const QString& text, const QFont& font, qreal width, int maxLines,
                                   Qt::TextElideMode mode = Qt::ElideMiddle);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString& text);
    void setMaxLines(int maxLines);
    void setElideMode(Qt::TextElideMode mode);
    void setSelectable(bool selectable);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void relayout(int width);
    // Laying out the text is the costly part of a row's size: what was measured is kept until the
    // text, its bounds or the font change, so a long list asks its rows' sizes cheaply.
    void forgetSizes();

    // Layouts ask at a few widths in turn (the natural one, the row's, the minimum's): the last few
    // answers are kept, oldest replaced first.
    struct Measured
    {
        int width = -1;
        int height = 0;
    };
    mutable std::array<Measured, 4> m_measured{};
    mutable std::size_t m_nextMeasured = 0;
    mutable QSize m_hint;

    QString m_fullText;
    int m_maxLines;
    Qt::TextElideMode m_mode = Qt::ElideMiddle;
};

} // namespace velquist
