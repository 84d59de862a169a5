#include "UI/MenuStyle.h"

#include "UI/AuroraStyle.h"

#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainterPath>
#include <QRegion>

namespace velquist::MenuStyle {

namespace {

constexpr qreal kRadius = 8;

// Without a compositor a translucent corner shows black, so the window itself is cut round.
class RoundedCut final : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            auto* menu = static_cast<QMenu*>(watched);
            QPainterPath outline;
            outline.addRoundedRect(QRectF(menu->rect()), kRadius, kRadius);
            menu->setMask(QRegion(outline.toFillPolygon().toPolygon()));
        }
        return false;
    }
};

} // namespace

QString styleSheet()
{
    // Colours are written out: a style sheet takes no QColor.
    return QStringLiteral(R"(
QMenu {
    color: rgba(255, 255, 255, 235);
    background: rgb(28, 28, 32);
    border: 1px solid rgba(255, 255, 255, 36);
    border-radius: 8px;
    padding: 5px;
}
QMenu::item { padding: 4px 22px 4px 22px; border-radius: 5px; background: transparent; }
QMenu::item:selected { background: rgb(0, 122, 255); color: white; }
QMenu::item:disabled { color: rgba(255, 255, 255, 95); }
QMenu::separator { height: 1px; background: rgba(255, 255, 255, 28); margin: 4px 8px; }
QMenu::indicator { width: 12px; height: 12px; left: 6px; }
)");
}

void apply(QMenu& menu)
{
    menu.setStyleSheet(styleSheet());
    menu.setFont(AuroraStyle::font(13));
    menu.setWindowFlag(Qt::NoDropShadowWindowHint);
    menu.installEventFilter(new RoundedCut(&menu));
}

void apply(QMenuBar& bar)
{
    bar.setStyleSheet(QStringLiteral(R"(
QMenuBar { color: rgba(255, 255, 255, 235); background: rgb(28, 28, 32); padding: 2px 4px; }
QMenuBar::item { padding: 3px 9px; border-radius: 5px; background: transparent; }
QMenuBar::item:selected { background: rgb(0, 122, 255); color: white; }
)"));
    bar.setFont(AuroraStyle::font(13));
}

} // namespace velquist::MenuStyle
