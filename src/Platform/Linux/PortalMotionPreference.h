#pragma once

#include "Platform/MotionPreference.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QString>
#include <optional>

namespace velquist {

// Reads the desktop's "enable-animations" setting (namespace org.gnome.desktop.interface) through
// the settings portal, without blocking: the answer arrives later, and changes follow the portal's
// SettingChanged signal. Without a portal, or without the key, it reports nothing and motion stays on.
class PortalMotionPreference final : public MotionPreference
{
    Q_OBJECT
  public:
    explicit PortalMotionPreference(QDBusConnection bus = QDBusConnection::sessionBus(),
                                    QObject* parent = nullptr);

    bool canReportReduceMotion() const override { return m_animations.has_value(); }
    bool reducesMotion() const override { return m_animations == false; }

    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.Settings";
    static constexpr const char* kNamespace = "org.gnome.desktop.interface";
    static constexpr const char* kKey = "enable-animations";

  private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

  private:
    void learn(const QVariant& value);

    QDBusConnection m_bus;
    std::optional<bool> m_animations;
};

} // namespace velquist
