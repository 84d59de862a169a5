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
    // layoutLines() for this label at `width`. The last two answers are kept: a layout asks for
    // the natural width's height and the given width's, then resizes the label to the latter.
    const QStringList& linesAt(int width) const;

    QString m_fullText;
    int m_maxLines;
    Qt::TextElideMode m_mode = Qt::ElideMiddle;
    struct Lines
    {
        QString text;
        QFont font;
        int width = -1;
        int maxLines = 0;
        Qt::TextElideMode mode = Qt::ElideMiddle;
        QStringList lines;
    };
    mutable std::array<Lines, 2> m_lines;
    mutable std::size_t m_newest = 0;
};

} // namespace velquist
