#pragma once

#include <QAbstractButton>
#include <QColor>

namespace velquist {

// One answer option of a question: its number on a circle (single choice) or a rounded square
// (multiple choice), its label on at most two lines and its detail under it; lit in the signal
// colour and ticked when picked. The label is the button's text, so it is also its accessible name.
class OptionRowButton : public QAbstractButton
{
    Q_OBJECT
  public:
    OptionRowButton(int number, const QString& label, const QString& detail, bool hasDetail, bool multiSelect,
                    QWidget* parent = nullptr);

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    void setSignal(const QColor& signal);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal textWidth(int width) const;

    QString m_number;
    QString m_detail;
    bool m_hasDetail;
    bool m_multiSelect;
    bool m_selected = false;
    QColor m_signal;
};

} // namespace velquist
