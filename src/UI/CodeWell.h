#pragma once

#include <QWidget>

class QPlainTextEdit;
class QScrollBar;
class QTextDocument;

namespace velquist {

// A recessed well of selectable text: as tall as its text up to `heightCap` points (padding
// included), scrolling beyond.
class CodeWell : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kPaddingX = 12;
    static constexpr int kPaddingY = 9;

    CodeWell(const QString& text, bool monospaced, int heightCap, QWidget* parent = nullptr);
    ~CodeWell() override;

    // A thin bar that suits the dark wells, rather than the desktop's default.
    static void styleScrollBar(QScrollBar* bar);

    QString text() const;
    int heightCap() const { return m_heightCap; }
    bool scrolls() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int contentHeight(int width) const;

    QPlainTextEdit* m_edit;
    QTextDocument* m_measure; // a copy laid out at the widths asked about
    QString m_full;
    QString m_probe;                             // the start of a long text, or empty
    mutable const QString* m_measured = nullptr; // which of the two m_measure holds
    int m_heightCap;
    mutable int m_measuredWidth = -1;
    mutable int m_measuredHeight = 0;
};

} // namespace velquist
