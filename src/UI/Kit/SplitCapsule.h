#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <vector>

class QAbstractButton;
class QMenu;
class QPainter;

namespace velquist {

// A split button on a capsule of the signal colour: the main action ("Allow", "Approve") on the
// left, a chevron on the right that opens a menu of further choices. Both halves are real buttons,
// named by their text for keyboard and screen-reader use.
class SplitCapsule : public QWidget
{
    Q_OBJECT
  public:
    struct Look
    {
        qreal mainLeading = 13;
        qreal mainTrailing = 10;
        qreal dividerHeight = 16;
        QColor dividerColour; // invalid: the dark label colour at 0.35
        qreal chevronPaddingX = 8;
        qreal chevronPaddingY = 7;
    };
    struct Item
    {
        QString text;
        std::function<void()> action;
    };

    SplitCapsule(const QString& label, const QColor& signal, std::function<void()> action,
                 std::vector<Item> items, const Look& look, QWidget* parent = nullptr);

    void setSignal(const QColor& signal);
    // How far the capsule shows itself pressed from outside its buttons (the introduction playing
    // its own press): 0 not at all, 1 fully, scaled to 0.92 about its centre and brightened by 0.25.
    void setPressAmount(qreal amount);
    qreal pressAmount() const { return m_pressAmount; }
    static constexpr qreal kPressedScale = 0.92;
    static constexpr qreal kPressedBrightness = 0.25;
    QAbstractButton* mainButton() const { return m_main; }
    QAbstractButton* menuButton() const { return m_chevron; }
    QMenu* menu() const { return m_menu; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    class Part;
    QColor labelColour() const;
    // The press as the capsule and both halves draw it: scaled about the capsule's centre, every
    // colour lifted toward white.
    void applyPress(QPainter& painter, QPoint origin) const;
    QColor pressed(QColor colour) const;

    QColor m_signal;
    qreal m_pressAmount = 0;
    Look m_look;
    QAbstractButton* m_main;
    QAbstractButton* m_chevron;
    QMenu* m_menu;
};

} // namespace velquist
