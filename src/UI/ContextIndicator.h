#pragma once

#include "Core/ContextUsage.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace velquist {

// How full a session's context window is: a 12-pt ring, the percentage beside it and the token
// counts in a tooltip. Amber from 70 %, red from 90 %.
class ContextIndicator : public QWidget
{
    Q_OBJECT
  public:
    static constexpr qreal kRingSize = 12;
    static constexpr qreal kSpacing = 4;
    static constexpr qreal kTextPoints = 9.5;

    explicit ContextIndicator(const ContextUsage& usage, QWidget* parent = nullptr);

    void setUsage(const ContextUsage& usage);
    const ContextUsage& usage() const { return m_usage; }
    QSize sizeHint() const override;

    // tokens / limit, or 0 for a window of less than one token.
    static double fraction(const ContextUsage& usage);
    static QColor gaugeColour(const ContextUsage& usage);
    // The share of the ring drawn: the fraction bounded to [0.02, 1].
    static double arcFraction(const ContextUsage& usage);
    // The gauge colour once the window is 70 % full, else white at 0.5.
    static QColor textColour(const ContextUsage& usage);
    // "Context: 150k / 200k".
    static QString tooltip(const ContextUsage& usage);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ContextUsage m_usage;
};

} // namespace velquist
