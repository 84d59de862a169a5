#include "Platform/Linux/DesktopUrlOpener.h"

#include "Shared/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QPointer>
#include <QStandardPaths>
#include <QVariantMap>

namespace velquist {

namespace {

void trace(const std::string& message)
{
    Log::debug("urls", message);
}

void fallBack(const DesktopUrlOpener::Fallback& fallback, const QUrl& url,
              const std::function<void(bool)>& done)
{
    const bool opened = fallback(url);
    if (!opened)
        trace("no handler took the URL");
    done(opened);
}

} // namespace

DesktopUrlOpener::DesktopUrlOpener(QDBusConnection bus, Fallback fallback)
    : m_bus(std::move(bus)), m_fallback(std::move(fallback))
{
    if (!m_fallback)
        m_fallback = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool DesktopUrlOpener::canOpenUrls() const
{
    if (m_bus.isConnected() && m_bus.interface() &&
        m_bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value())
        return true;
    // What Qt's desktop services hand a URL to outside a portal.
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}

void DesktopUrlOpener::open(const std::string& text, QObject* context, std::function<void(bool)> done)
{
    const QUrl url(QString::fromStdString(text));
    // Only a URL with its scheme: a bare word or an option-like text is nothing to hand over.
    if (text.empty() || text.front() == '-' || !url.isValid() || url.scheme().isEmpty()) {
        trace("not a URL with a scheme, not opened");
        done(false);
        return;
    }
    if (!m_bus.isConnected()) {
        fallBack(m_fallback, url, done);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("OpenURI"));
    call << QString() << QString::fromStdString(text) << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallback = m_fallback, url, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<> reply = *finished;
                         if (!reply.isError())
                             return done(true);
                         trace("the portal did not open the URL (" + reply.error().name().toStdString() +
                               "), trying the desktop's handler");
                         fallBack(fallback, url, done);
                     });
}

} // namespace velquist
