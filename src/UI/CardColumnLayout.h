#pragma once

#include <QLayout>
#include <QList>

#include <optional>
#include <utility>
#include <vector>

namespace velquist {

// A column of rows whose gap and padding may be negative: each row keeps a clear margin around its
// card for the glow, and the cards, not those margins, sit at the list's spacing, so neighbouring
// margins overlap. Rows move within the column without leaving it.
class CardColumnLayout final : public QLayout
{
  public:
    explicit CardColumnLayout(QWidget* parent = nullptr);
    ~CardColumnLayout() override;

    void setPadding(int left, int top, int right, int bottom);
    void setGap(int gap);
    int gap() const { return m_gap; }

    // Puts `widget` at `index` (clamped); the layout takes the widget as a child of its parent.
    void insertWidget(int index, QWidget* widget);
    // Puts an item taken out with takeAt back at `index` (clamped).
    void insertItem(int index, QLayoutItem* item);
    // How many rows have been put into place (inserted or put back) since the layout was made.
    int placements() const { return m_placements; }
    // The rows (first and one past the last index) whose places, as last laid out, overlap the
    // parent's lines `top` to `bottom`; the range may hold hidden rows, which overlap nothing.
    // None while rows came, went or moved since the column was last laid out.
    std::optional<std::pair<int, int>> rowsWithin(int top, int bottom) const;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    // Drops the size kept since the rows were last measured.
    void invalidate() override;
    QSize minimumSize() const override { return sizeHint(); }
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override { return {}; }

  private:
    int rowHeight(const QLayoutItem* item, int width) const;
    int rowWidth() const;

    QList<QLayoutItem*> m_items;
    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    int m_gap = 0;
    int m_placements = 0;
    // Each row's first and last line as last laid out (a hidden row's last is above its first),
    // and whether the rows are still those.
    struct Place
    {
        int top = 0;
        int bottom = -1;
    };
    std::vector<Place> m_places;
    bool m_placesCurrent = false;
    // The size of the rows at a width, kept until the layout is invalidated: a list asks it several
    // times per change, and measuring walks every row.
    mutable int m_hintWidth = -1;
    mutable QSize m_hint;
};

} // namespace velquist
