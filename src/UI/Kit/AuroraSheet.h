#pragma once

#include <QWidget>

namespace velquist {

// The flat dark backdrop behind a sheet's content. The content is laid out in it like in any
// container (give it a layout); an empty sheet still draws its backdrop.
class AuroraSheet : public QWidget
{
    Q_OBJECT
  public:
    explicit AuroraSheet(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velquist
