#pragma once

#include "Platform/ScreenLock.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <sys/types.h>

class QDBusPendingCallWatcher;

namespace velquist {

// The screen lock as the session reports it over D-Bus: the screen saver's active state
// (org.freedesktop.ScreenSaver on the session bus) and logind's LockedHint for our login session
// (on the system bus). Either one saying "locked" counts. Both are read once, asynchronously, and
// then followed from their signals, so a read never waits on a bus.
class DBusScreenLock final : public QObject, public ScreenLock
{
    Q_OBJECT
  public:
    struct Buses
    {
        QDBusConnection session;
        QDBusConnection system;
        // Our login session: XDG_SESSION_ID when set, else found from our pid.
        QString sessionID;
        pid_t pid = 0;

        static Buses fromEnvironment();
    };

    explicit DBusScreenLock(Buses buses, QObject* parent = nullptr);

    bool canDetectLock() const override;
    bool isScreenLocked() const override { return m_screenSaverActive || m_lockedHint; }

  Q_SIGNALS:
    void lockedChanged();

  private Q_SLOTS:
    void screenSaverActiveChanged(bool active);
    void sessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                  const QStringList& invalidated);

  private:
    void watchScreenSaver();
    void findLoginSession();
    void watchLoginSession(const QString& path);
    void readLockedHint();
    void update(bool& field, bool value);
    // Runs `done` with the reply of `message` when it arrives; errors are ignored.
    void call(QDBusConnection& bus, const QDBusMessage& message,
              std::function<void(const QDBusMessage&)> done);

    Buses m_buses;
    QString m_sessionPath;
    bool m_screenSaverActive = false;
    bool m_lockedHint = false;
};

} // namespace velquist
