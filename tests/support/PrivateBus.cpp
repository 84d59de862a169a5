#include "support/PrivateBus.h"

#include <QDBusMessage>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {

PrivateBus::PrivateBus()
{
    int fds[2];
    if (::access("/usr/bin/dbus-daemon", X_OK) != 0 || ::pipe(fds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(fds[0]);
        const std::string print = "--print-address=" + std::to_string(fds[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::execl("/usr/bin/dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", print.c_str(),
                nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string address;
    char buffer[512];
    pollfd ready{fds[0], POLLIN, 0};
    while (address.find('\n') == std::string::npos && ::poll(&ready, 1, 20000) == 1) {
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        address.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    if (const auto end = address.find('\n'); end != std::string::npos)
        m_address = QString::fromStdString(address.substr(0, end));
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : m_names)
        QDBusConnection::disconnectFromBus(name);
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

QDBusConnection PrivateBus::connect(const QString& name) const
{
    m_names << name;
    return QDBusConnection::connectToBus(m_address, name);
}

void FakeLoginSession::setLocked(QDBusConnection& bus, bool value)
{
    locked = value;
    QDBusMessage signal = QDBusMessage::createSignal(FakeLoginManager::sessionPath(),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.freedesktop.login1.Session")
           << QVariantMap{{QStringLiteral("LockedHint"), value}} << QStringList{};
    bus.send(signal);
}

QDBusVariant FakeSettingsPortal::ReadOne(const QString& group, const QString& key,
                                         const QDBusMessage& message)
{
    asked << QStringLiteral("ReadOne ") + group + ' ' + key;
    if (oldPortal)
        return refuse(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    if (!value.isValid())
        return refuse(message, QStringLiteral("org.freedesktop.portal.Error.NotFound"));
    return QDBusVariant(value);
}

QDBusVariant FakeSettingsPortal::Read(const QString& group, const QString& key, const QDBusMessage& message)
{
    asked << QStringLiteral("Read ") + group + ' ' + key;
    if (!value.isValid())
        return refuse(message, QStringLiteral("org.freedesktop.portal.Error.NotFound"));
    // The older call wraps the value in one more variant.
    return QDBusVariant(QVariant::fromValue(QDBusVariant(value)));
}

QDBusVariant FakeSettingsPortal::refuse(const QDBusMessage& message, const QString& error)
{
    message.setDelayedReply(true);
    connection.send(message.createErrorReply(error, QStringLiteral("refused")));
    return {};
}

void FakeSettingsPortal::change(QDBusConnection& bus, const QVariant& newValue)
{
    value = newValue;
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                     QStringLiteral("org.freedesktop.portal.Settings"),
                                                     QStringLiteral("SettingChanged"));
    signal << QStringLiteral("org.gnome.desktop.interface") << QStringLiteral("enable-animations")
           << QVariant::fromValue(QDBusVariant(newValue));
    bus.send(signal);
}

} // namespace velquist::test

namespace velquist::test {

QDBusObjectPath FakeOpenUriPortal::OpenURI(const QString&, const QString& uri, const QVariantMap&,
                                           const QDBusMessage& message)
{
    if (refuse) {
        message.setDelayedReply(true);
        connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotAllowed"),
                                                 QStringLiteral("refused")));
        return {};
    }
    opened << uri;
    return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t"));
}

} // namespace velquist::test
