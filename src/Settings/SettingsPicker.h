#pragma once

#include <QComboBox>

namespace velquist {

// A settings pop-up menu: a combo box that shows a chevron at its right end, since the window's
// style sheet draws no arrow of its own.
class SettingsPicker final : public QComboBox
{
  public:
    explicit SettingsPicker(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velquist
