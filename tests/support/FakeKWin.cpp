#include "support/FakeKWin.h"

#include <QDBusMessage>
#include <QFile>
#include <QRegularExpression>

namespace velquist::test {

void FakeKWin::setWindows(QString json)
{
    std::lock_guard lock(m_mutex);
    m_windows = std::move(json);
}

QStringList FakeKWin::loadedScripts() const
{
    std::lock_guard lock(m_mutex);
    return m_scripts;
}

QStringList FakeKWin::unloaded() const
{
    std::lock_guard lock(m_mutex);
    return m_unloaded;
}

int FakeKWin::loadScript(const QString& filePath, const QString&)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromUtf8(file.readAll());
    int id = 0;
    {
        std::lock_guard lock(m_mutex);
        m_scripts << text;
        id = static_cast<int>(m_scripts.size()) - 1;
    }
    m_bus.registerObject(QStringLiteral("/Scripting/Script%1").arg(id), new FakeKWinScript(*this, id, this),
                         QDBusConnection::ExportAllSlots);
    return id;
}

bool FakeKWin::unloadScript(const QString& pluginName)
{
    std::lock_guard lock(m_mutex);
    m_unloaded << pluginName;
    return true;
}

void FakeKWin::start()
{
    // Watching scripts run at start; they name their caller in SERVICE.
    static const QRegularExpression service(QStringLiteral("var SERVICE = \"([^\"]+)\""));
    std::lock_guard lock(m_mutex);
    for (const QString& script : m_scripts) {
        if (const auto match = service.match(script); match.hasMatch())
            m_watcher = match.captured(1);
    }
}

void FakeKWin::announce(const QString& what)
{
    QString watcher;
    {
        std::lock_guard lock(m_mutex);
        watcher = m_watcher;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(watcher, QStringLiteral("/Velquist/KWinReport"),
                                       QStringLiteral("org.velquist.KWinReport"), QStringLiteral("changed"));
    call << what;
    m_bus.send(call);
}

void FakeKWin::runScript(int id)
{
    static const QRegularExpression answer(
        QString::fromLatin1(R"re(callDBus\("([^"]+)", "([^"]+)", "([^"]+)", "report", "([^"]+)", text\))re"));
    static const QRegularExpression target(QStringLiteral("var TARGET = \"([^\"]+)\""));
    QString script;
    QString windows;
    {
        std::lock_guard lock(m_mutex);
        script = m_scripts.value(id);
        windows = m_windows;
    }
    const auto call = answer.match(script);
    if (!call.hasMatch())
        return;
    QString reply = windows;
    if (const auto activation = target.match(script); activation.hasMatch())
        reply = windows.contains(QStringLiteral("\"%1\"").arg(activation.captured(1)))
                    ? QStringLiteral("true")
                    : QStringLiteral("false");
    QDBusMessage message = QDBusMessage::createMethodCall(call.captured(1), call.captured(2),
                                                          call.captured(3), QStringLiteral("report"));
    message << call.captured(4) << reply;
    m_bus.send(message);
}

} // namespace velquist::test
