#pragma once

#include "UI/SessionRow.h"
#include "UI/SessionRowSource.h"

namespace velquist {

// Makes the expanded list's rows: one SessionRow per card, updated in place.
class SessionRowFactory final : public SessionRowSource
{
  public:
    explicit SessionRowFactory(SessionRowContext context) : m_context(std::move(context)) {}

    QWidget* makeRow(const SessionCard& card) override { return new SessionRow(card, m_context); }
    void updateRow(QWidget* row, const SessionCard& card) override
    {
        if (auto* sessionRow = qobject_cast<SessionRow*>(row))
            sessionRow->setCard(card);
    }
    void setRowPanelVisible(QWidget* row, bool visible) override
    {
        if (auto* sessionRow = qobject_cast<SessionRow*>(row))
            sessionRow->setPanelVisible(visible);
    }
    // Each card keeps room around it for its glow.
    int rowMargin() const override { return CardFrame::kGlowMargin; }

  private:
    SessionRowContext m_context;
};

} // namespace velquist
