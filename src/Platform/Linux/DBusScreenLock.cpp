#include "Platform/Linux/DBusScreenLock.h"

#include "Shared/Log.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <unistd.h>

namespace velquist {

namespace {

const QString screenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString login1Service = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString login1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString login1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

DBusScreenLock::Buses DBusScreenLock::Buses::fromEnvironment()
{
    return Buses{QDBusConnection::sessionBus(), QDBusConnection::systemBus(),
                 qEnvironmentVariable("XDG_SESSION_ID"), ::getpid()};
}

DBusScreenLock::DBusScreenLock(Buses buses, QObject* parent) : QObject(parent), m_buses(std::move(buses))
{
    // Signals are subscribed before the first read, so no change falls between the two.
    watchScreenSaver();
    findLoginSession();
}

bool DBusScreenLock::canDetectLock() const
{
    return m_buses.session.isConnected() || m_buses.system.isConnected();
}

void DBusScreenLock::call(QDBusConnection& bus, const QDBusMessage& message,
                          std::function<void(const QDBusMessage&)> done)
{
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                if (reply.type() == QDBusMessage::ReplyMessage)
                    done(reply);
            });
}

void DBusScreenLock::watchScreenSaver()
{
    if (!m_buses.session.isConnected())
        return;
    m_buses.session.connect(screenSaverService, screenSaverPath, screenSaverService,
                            QStringLiteral("ActiveChanged"), this, SLOT(screenSaverActiveChanged(bool)));
    call(m_buses.session,
         QDBusMessage::createMethodCall(screenSaverService, screenSaverPath, screenSaverService,
                                        QStringLiteral("GetActive")),
         [this](const QDBusMessage& reply) {
             if (!reply.arguments().isEmpty())
                 update(m_screenSaverActive, reply.arguments().constFirst().toBool());
         });
}

void DBusScreenLock::findLoginSession()
{
    if (!m_buses.system.isConnected())
        return;
    const QDBusMessage message =
        m_buses.sessionID.isEmpty() ? QDBusMessage::createMethodCall(login1Service, login1Path, login1Manager,
                                                                     QStringLiteral("GetSessionByPID"))
                                          << static_cast<quint32>(m_buses.pid)
                                    : QDBusMessage::createMethodCall(login1Service, login1Path, login1Manager,
                                                                     QStringLiteral("GetSession"))
                                          << m_buses.sessionID;
    call(m_buses.system, message, [this](const QDBusMessage& reply) {
        if (reply.arguments().isEmpty())
            return;
        const QString path = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
        if (!path.isEmpty())
            watchLoginSession(path);
    });
}

void DBusScreenLock::watchLoginSession(const QString& path)
{
    m_sessionPath = path;
    m_buses.system.connect(login1Service, path, properties, QStringLiteral("PropertiesChanged"), this,
                           SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
    readLockedHint();
}

void DBusScreenLock::readLockedHint()
{
    call(m_buses.system,
         QDBusMessage::createMethodCall(login1Service, m_sessionPath, properties, QStringLiteral("Get"))
             << login1Session << QStringLiteral("LockedHint"),
         [this](const QDBusMessage& reply) {
             if (!reply.arguments().isEmpty())
                 update(m_lockedHint,
                        qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool());
         });
}

void DBusScreenLock::screenSaverActiveChanged(bool active)
{
    update(m_screenSaverActive, active);
}

void DBusScreenLock::sessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                              const QStringList& invalidated)
{
    if (interface != login1Session)
        return;
    if (const auto found = changed.constFind(QStringLiteral("LockedHint")); found != changed.constEnd())
        update(m_lockedHint, found->toBool());
    else if (invalidated.contains(QStringLiteral("LockedHint")))
        readLockedHint();
}

void DBusScreenLock::update(bool& field, bool value)
{
    const bool was = isScreenLocked();
    field = value;
    if (was != isScreenLocked()) {
        Log::debug("attention", isScreenLocked() ? "screen locked" : "screen unlocked");
        Q_EMIT lockedChanged();
    }
}

} // namespace velquist
