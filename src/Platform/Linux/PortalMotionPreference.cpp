#include "Platform/Linux/PortalMotionPreference.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

namespace velquist {
namespace {

// The portal wraps the value in a variant, and its older Read wraps that once more.
QVariant unwrap(QVariant value)
{
    for (int depth = 0; depth < 4; ++depth) {
        if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        else if (value.userType() == qMetaTypeId<QDBusArgument>()) {
            QDBusVariant inner;
            value.value<QDBusArgument>() >> inner;
            value = inner.variant();
        } else
            break;
    }
    return value;
}

} // namespace

PortalMotionPreference::PortalMotionPreference(QDBusConnection bus, QObject* parent)
    : MotionPreference(parent), m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QString, QString, QDBusVariant)));
    auto ask = [this](const QString& method) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        message << QString::fromLatin1(kNamespace) << QString::fromLatin1(kKey);
        return new QDBusPendingCallWatcher(m_bus.asyncCall(message, 2000), this);
    };
    // ReadOne where the portal has it; Read on older portals.
    auto* watcher = ask(QStringLiteral("ReadOne"));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, ask](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            learn(reply.arguments().constFirst());
            return;
        }
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
            return;
        auto* older = ask(QStringLiteral("Read"));
        connect(older, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* second) {
            second->deleteLater();
            const QDBusMessage answer = second->reply();
            if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty())
                learn(answer.arguments().constFirst());
        });
    });
}

void PortalMotionPreference::settingChanged(const QString& group, const QString& key,
                                            const QDBusVariant& value)
{
    if (group == QLatin1String(kNamespace) && key == QLatin1String(kKey))
        learn(value.variant());
}

void PortalMotionPreference::learn(const QVariant& value)
{
    const QVariant plain = unwrap(value);
    if (plain.userType() != QMetaType::Bool)
        return;
    const bool animations = plain.toBool();
    if (m_animations == animations)
        return;
    m_animations = animations;
    Q_EMIT changed();
}

} // namespace velquist
