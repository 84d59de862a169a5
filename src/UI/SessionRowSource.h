#pragma once

#include "Core/SessionCard.h"

class QWidget;

namespace velquist {

// Makes and refreshes the session list's rows, so the list keeps one row per card and changes only
// the rows whose card changed.
class SessionRowSource
{
  public:
    virtual ~SessionRowSource() = default;
    // A new row that shows `card`; the list takes ownership.
    virtual QWidget* makeRow(const SessionCard& card) = 0;
    // Shows `card` (changed since the last call) in a row that this source made.
    virtual void updateRow(QWidget* row, const SessionCard& card) = 0;
    // Tells a row that this source made whether the list holding it is on screen, so it can stop
    // animating while nobody sees it.
    virtual void setRowPanelVisible(QWidget*, bool) {}
    // The clear margin each row keeps around its visible card (for a glow); the list lays the
    // cards, not the margins, at its spacing and padding.
    virtual int rowMargin() const { return 0; }
};

} // namespace velquist
