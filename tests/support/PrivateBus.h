#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <sys/types.h>

namespace velquist::test {

// A D-Bus daemon of the test's own (what dbus-run-session starts), so tests neither need nor
// disturb the machine's buses.
class PrivateBus
{
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    // A new connection to the bus under `name` (each has its own unique bus name).
    QDBusConnection connect(const QString& name) const;

  private:
    pid_t m_pid = -1;
    QString m_address;
    mutable QStringList m_names;
};

// The desktop's screen saver service, as far as the lock follows it.
class FakeScreenSaver final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
  public:
    bool active = false;

  public Q_SLOTS:
    bool GetActive() { return active; }

  Q_SIGNALS:
    void ActiveChanged(bool active);
};

// logind's manager: every pid and session id belongs to one session.
class FakeLoginManager final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
  public:
    static QString sessionPath() { return QStringLiteral("/org/freedesktop/login1/session/_31"); }
    QStringList asked;

  public Q_SLOTS:
    QDBusObjectPath GetSessionByPID(uint pid)
    {
        asked << QStringLiteral("pid %1").arg(pid);
        return QDBusObjectPath(sessionPath());
    }
    QDBusObjectPath GetSession(const QString& id)
    {
        asked << QStringLiteral("id ") + id;
        return QDBusObjectPath(sessionPath());
    }
};

// logind's session object with its LockedHint property.
class FakeLoginSession final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool LockedHint READ lockedHint)
  public:
    bool locked = false;
    bool lockedHint() const { return locked; }
    // Sets the hint and announces it the way logind does.
    void setLocked(QDBusConnection& bus, bool value);
};

// The desktop portal's settings, holding one value; `oldPortal` answers only the older Read.
class FakeSettingsPortal final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
  public:
    QVariant value; // invalid: the key is unknown
    bool oldPortal = false;
    QStringList asked;
    // The connection the portal is registered on, for its error replies.
    QDBusConnection connection{QStringLiteral("none")};
    // Sets the value and announces it the way the portal does.
    void change(QDBusConnection& bus, const QVariant& newValue);

  public Q_SLOTS:
    QDBusVariant ReadOne(const QString& group, const QString& key, const QDBusMessage& message);
    QDBusVariant Read(const QString& group, const QString& key, const QDBusMessage& message);

  private:
    QDBusVariant refuse(const QDBusMessage& message, const QString& error);

  Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

// The desktop portal's OpenURI: notes each URI and accepts it, or refuses every one.
class FakeOpenUriPortal final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.OpenURI")
  public:
    QStringList opened;
    bool refuse = false;
    // The connection the portal is registered on, for its error replies.
    QDBusConnection connection{QStringLiteral("none")};

  public Q_SLOTS:
    QDBusObjectPath OpenURI(const QString& parentWindow, const QString& uri, const QVariantMap& options,
                            const QDBusMessage& message);
};

} // namespace velquist::test
