#pragma once

#include "Core/ToolDetail.h"

#include <QString>
#include <QWidget>
#include <string_view>
#include <vector>

namespace velquist {

// One row of a diff block.
struct DiffRow
{
    enum class Role { removed, added };
    Role role = Role::removed;
    QString text; // cleaned, one line, a single space for an empty line

    bool operator==(const DiffRow&) const = default;
};

// One replacement of a pending edit: the old text as red "-" rows, then the new text as green "+"
// rows, each side cut to its first eight lines. No common lines are looked for.
class DiffView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr std::size_t kMaxLinesPerSide = 8;
    // A row shows one line truncated at its end; no more than this much of it is laid out.
    static constexpr std::size_t kMaxRowCharacters = 400;

    explicit DiffView(const EditHunk& hunk, QWidget* parent = nullptr);

    // The first eight lines of a text, split at LF, CR LF and a lone CR, empty ones kept.
    static std::vector<std::string_view> lines(std::string_view text);
    // The rows of a hunk, removed first. Pure.
    static std::vector<DiffRow> rows(const EditHunk& hunk);

    const std::vector<DiffRow>& shownRows() const { return m_rows; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int rowHeight() const;

    std::vector<DiffRow> m_rows;
};

} // namespace velquist
