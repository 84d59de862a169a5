#pragma once

#include "UI/SessionRowSource.h"

#include <QWidget>
#include <map>
#include <string>
#include <vector>

namespace velquist::test {

// Rows of a fixed size that note which sessions they were made and refreshed for, and whether they
// were last told that the panel is on screen.
class RecordingRowSource final : public SessionRowSource
{
  public:
    QWidget* makeRow(const SessionCard& card) override
    {
        made.push_back(card.session.id);
        auto* row = new QWidget;
        row->setFixedSize(712, height);
        return row;
    }
    void updateRow(QWidget*, const SessionCard& card) override { updated.push_back(card.session.id); }
    void setRowPanelVisible(QWidget* row, bool visible) override { panelVisible[row] = visible; }
    int rowMargin() const override { return margin; }

    int height = 60;
    // The clear margin a row keeps around its card, as real rows keep one for their glow.
    int margin = 0;
    std::vector<std::string> made;
    std::vector<std::string> updated;
    std::map<const QWidget*, bool> panelVisible;
};

} // namespace velquist::test
