#pragma once

#include "Core/Session.h"

#include <QWidget>
#include <optional>
#include <vector>

namespace velquist {

// A session's running subagents, at most three lines of name and activity, and a tally of the
// ones not listed and the ones done. Hidden when there is nothing to show.
class SubagentList : public QWidget
{
    Q_OBJECT
  public:
    // Names and activities are one line each; this much of them is laid out at most.
    static constexpr std::size_t kMaxNameCharacters = 80;
    static constexpr std::size_t kMaxActivityCharacters = 200;

    explicit SubagentList(QWidget* parent = nullptr);

    void setSubagents(const std::vector<SubagentRun>& running, std::int64_t done);

    struct Row
    {
        QString name;
        QString activity; // empty when none
        bool operator==(const Row&) const = default;
    };
    const std::vector<Row>& rows() const { return m_rows; }
    const QString& tally() const { return m_tally; }
    bool hasRule() const { return m_hasRule; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    qreal lineHeight() const;

    std::vector<Row> m_rows;
    QString m_tally;
    bool m_hasRule = false;
};

} // namespace velquist
