#include "Settings/SettingsAccessibility.h"

#include "Settings/SettingsPicker.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QVariant>

namespace velquist::SettingsAccessibility {
namespace {

constexpr const char* kPageTabProperty = "velquistPageTab";
constexpr const char* kSeparatorProperty = "velquistSeparator";

class PickerAccessible final : public QAccessibleWidget
{
  public:
    explicit PickerAccessible(SettingsPicker* picker) : QAccessibleWidget(picker, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override
    {
        const auto* picker = static_cast<const SettingsPicker*>(widget());
        if (kind == QAccessible::Value)
            return picker->currentText();
        if (kind == QAccessible::Name && !picker->accessibleName().isEmpty())
            return picker->accessibleName();
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            static_cast<SettingsPicker*>(widget())->showPopup();
    }
};

class PageTabAccessible final : public QAccessibleWidget
{
  public:
    explicit PageTabAccessible(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::PageTab) {}

    QString text(QAccessible::Text kind) const override
    {
        const auto* button = static_cast<const QAbstractButton*>(widget());
        if (kind == QAccessible::Name)
            return button->accessibleName().isEmpty() ? button->text() : button->accessibleName();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        state.selected = static_cast<const QAbstractButton*>(widget())->isChecked();
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            static_cast<QAbstractButton*>(widget())->click();
    }
};

QAccessibleInterface* factory(const QString&, QObject* object)
{
    // The settings controls carry no meta-object of their own: test the C++ type.
    if (auto* picker = dynamic_cast<SettingsPicker*>(object))
        return new PickerAccessible(picker);
    if (object && object->isWidgetType() && object->property(kSeparatorProperty).toBool())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (button && button->property(kPageTabProperty).toBool())
        return new PageTabAccessible(button);
    return nullptr;
}

} // namespace

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

namespace {

// A reading made before a mark (a check box, for a checkable button) would be kept for the
// widget's life: drop it so the next one is made with `role`.
void dropEarlierReading(QWidget& widget, QAccessible::Role role)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* earlier = QAccessible::queryAccessibleInterface(&widget);
    if (earlier && earlier->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(earlier));
}

} // namespace

void markAsPageTab(QWidget& button)
{
    install();
    button.setProperty(kPageTabProperty, true);
    dropEarlierReading(button, QAccessible::PageTab);
}

void markAsSeparator(QWidget& line)
{
    install();
    line.setProperty(kSeparatorProperty, true);
    dropEarlierReading(line, QAccessible::Separator);
}

} // namespace velquist::SettingsAccessibility
