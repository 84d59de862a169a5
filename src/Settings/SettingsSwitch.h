#pragma once

#include <QAbstractButton>

namespace velquist {

// An on/off switch with its title on the left and the toggle at the right edge, as a row of a
// settings section. Only the toggle takes clicks; the keyboard toggles it with Space. The title is
// its accessible name; a switch without a title draws only the toggle.
class SettingsSwitch final : public QAbstractButton
{
  public:
    explicit SettingsSwitch(const QString& title = {}, QWidget* parent = nullptr);

    // Sets the state without emitting `toggled` or `clicked`, for a value changed elsewhere.
    void setCheckedQuietly(bool checked);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QRectF toggleRect() const;
};

} // namespace velquist
