#pragma once

#include "Core/ToolDetail.h"

#include <QColor>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>

class QVBoxLayout;

namespace velquist {

// What a waiting tool call is about to do: a warning line when it is risky, then a body by kind
// (a command well, the diffs of an edit, a written file, the options of a question, a plan, a
// path, a search, a web target, a subagent, or the parameters of any other tool). Read-only.
//
// For a write, whether the target exists (and how long it is) is looked up once per request on a
// worker; the warning line appears when the answer arrives.
class ToolDetailView : public QWidget
{
    Q_OBJECT
  public:
    // `sessionFolder` resolves a relative write target.
    ToolDetailView(const ToolDetail& detail, const QColor& accent, std::filesystem::path sessionFolder,
                   QWidget* parent = nullptr);

    // Shows another request; the same request again keeps the view (and its looked-up warning).
    void setDetail(const ToolDetail& detail, const QColor& accent);

    const ToolDetail& detail() const { return m_detail; }
    const std::optional<std::string>& riskNote() const { return m_riskNote; }

  Q_SIGNALS:
    // The warning line changed after a look at the write target.
    void riskNoteChanged();

  private:
    void rebuild();
    void inspectTarget();

    ToolDetail m_detail;
    QColor m_accent;
    std::filesystem::path m_sessionFolder;
    std::optional<std::string> m_riskNote;
    QVBoxLayout* m_layout;
    std::uint64_t m_generation = 0; // drops a look-up answer for an earlier request
};

} // namespace velquist
