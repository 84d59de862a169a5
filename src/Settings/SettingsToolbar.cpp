#include "Settings/SettingsToolbar.h"

#include "Settings/SettingsAccessibility.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/SettingsStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace velquist {

namespace {

constexpr qreal kTile = 24;
constexpr qreal kTileRadius = 6;
constexpr qreal kLabelSpacing = 3;
constexpr int kPaddingX = 7;
constexpr int kPaddingY = 5;
constexpr qreal kBackdropRadius = 8;

// One tab of the bar: tile and title, checked while its tab is selected.
class TabButton final : public QAbstractButton
{
  public:
    TabButton(SettingsTab tab, QWidget* parent) : QAbstractButton(parent), m_tab(tab)
    {
        // Marked before anything announces the button, so a screen reader's first look at it
        // already finds a page tab.
        SettingsAccessibility::install();
        SettingsAccessibility::markAsPageTab(*this);
        setCheckable(true);
        setText(SettingsTabs::title(tab));
        setFont(SettingsStyle::tabTitleFont());
        // A click moves the focus too, so the ring never stays on a tab the user left.
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        const int labelWidth = std::max(int(kTile), metrics.horizontalAdvance(text()));
        return {labelWidth + 2 * kPaddingX, int(kTile + kLabelSpacing) + metrics.height() + 2 * kPaddingY};
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF whole = QRectF(rect());
        if (isChecked() || isDown()) {
            QPainterPath backdrop;
            backdrop.addRoundedRect(whole, kBackdropRadius, kBackdropRadius);
            painter.fillPath(backdrop,
                             isChecked() ? SettingsStyle::selectionFill() : Palette::settingsTileFill());
        }
        if (SettingsStyle::showsFocusRing(*this)) {
            painter.setPen(QPen(SettingsStyle::accent(), 1.5));
            painter.drawRoundedRect(whole.adjusted(0.75, 0.75, -0.75, -0.75), kBackdropRadius,
                                    kBackdropRadius);
        }

        // The tile: the tab's colour, a little lighter at the top, as a lit surface.
        const QRectF tile((width() - kTile) / 2.0, kPaddingY, kTile, kTile);
        const QColor base = SettingsTabs::iconColor(m_tab);
        QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
        gradient.setColorAt(0, base.lighter(118));
        gradient.setColorAt(1, base.darker(108));
        QPainterPath tilePath;
        tilePath.addRoundedRect(tile, kTileRadius, kTileRadius);
        painter.fillPath(tilePath, gradient);
        const QString symbol = SettingsTabs::symbol(m_tab);
        if (Glyph::exists(symbol))
            Glyph::paint(painter, tile.adjusted(6, 6, -6, -6), symbol, Palette::textBright());

        const QRectF title(0, tile.bottom() + kLabelSpacing, width(), fontMetrics().height());
        painter.setPen(isChecked() ? SettingsStyle::primaryText() : SettingsStyle::secondaryText());
        painter.drawText(title, Qt::AlignHCenter | Qt::AlignTop, text());
    }

  private:
    SettingsTab m_tab;
};

} // namespace

SettingsToolbar::SettingsToolbar(SettingsTab selection, QWidget* parent)
    : QWidget(parent), m_selection(selection)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    layout->addStretch(1);
    for (const SettingsTab tab : SettingsTabs::all) {
        auto* button = new TabButton(tab, this);
        button->setChecked(tab == selection);
        connect(button, &QAbstractButton::clicked, this, [this, tab, button] {
            // A click on the selected tab would uncheck it; it stays selected.
            button->setChecked(true);
            setSelection(tab);
            Q_EMIT tabChosen(tab);
        });
        m_buttons.push_back(button);
        layout->addWidget(button);
    }
    layout->addStretch(1);
}

void SettingsToolbar::setSelection(SettingsTab tab)
{
    m_selection = tab;
    for (const SettingsTab each : SettingsTabs::all)
        m_buttons[std::size_t(SettingsTabs::index(each))]->setChecked(each == tab);
}

QAbstractButton* SettingsToolbar::button(SettingsTab tab) const
{
    return m_buttons[std::size_t(SettingsTabs::index(tab))];
}

void SettingsToolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), SettingsStyle::windowBackground());
}

} // namespace velquist
