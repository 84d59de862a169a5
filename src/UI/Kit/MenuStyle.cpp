#include "UI/Kit/MenuStyle.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

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
    using Palette::css;
    return QStringLiteral(R"(
QMenu {
    color: %1;
    background: %2;
    border: 1px solid %3;
    border-radius: 8px;
    padding: 5px;
}
QMenu::item { padding: 4px 22px 4px 22px; border-radius: 5px; background: transparent; }
QMenu::item:selected { background: %4; color: %5; }
QMenu::item:disabled { color: %6; }
QMenu::separator { height: 1px; background: %7; margin: 4px 8px; }
QMenu::indicator { width: 12px; height: 12px; left: 6px; }
)")
        .arg(css(Palette::menuText()), css(Palette::menuFill()), css(Palette::menuStroke()),
             css(Palette::selectionBlue()), css(Palette::menuSelectedText()),
             css(Palette::menuDisabledText()), css(Palette::menuSeparator()));
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
    using Palette::css;
    bar.setStyleSheet(QStringLiteral(R"(
QMenuBar { color: %1; background: %2; padding: 2px 4px; }
QMenuBar::item { padding: 3px 9px; border-radius: 5px; background: transparent; }
QMenuBar::item:selected { background: %3; color: %4; }
)")
                          .arg(css(Palette::menuText()), css(Palette::menuFill()),
                               css(Palette::selectionBlue()), css(Palette::menuSelectedText())));
    bar.setFont(AuroraStyle::font(13));
}

} // namespace velquist::MenuStyle
