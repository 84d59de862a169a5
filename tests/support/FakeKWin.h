#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <mutex>

namespace velquist::test {

// KWin's scripting service as far as a client loads and runs scripts: it cannot run JavaScript,
// so a run answers as the script would, with the recorded window list (or, for an activation, by
// whether its target is listed), calling back the service and token the script names.
class FakeKWin final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")

  public:
    explicit FakeKWin(QDBusConnection bus) : m_bus(std::move(bus)) {}

    // What `j`-style list scripts report, as KWin's windows would be described.
    void setWindows(QString json);
    QStringList loadedScripts() const;
    QStringList unloaded() const;
    // The last watching script's caller, to send a change as KWin would through it.
    void announce(const QString& what);

  public Q_SLOTS:
    int loadScript(const QString& filePath, const QString& pluginName);
    bool unloadScript(const QString& pluginName);
    void start();
    // Called on a script's own object; see FakeKWinScript.
    void runScript(int id);

  private:
    QDBusConnection m_bus;
    mutable std::mutex m_mutex;
    QString m_windows = QStringLiteral("[]");
    QStringList m_scripts;
    QStringList m_unloaded;
    QString m_watcher;
};

// One loaded script's object (/Scripting/Script<N>).
class FakeKWinScript final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Script")

  public:
    FakeKWinScript(FakeKWin& kwin, int id, QObject* parent) : QObject(parent), m_kwin(kwin), m_id(id) {}

  public Q_SLOTS:
    void run() { m_kwin.runScript(m_id); }
    void stop() {}

  private:
    FakeKWin& m_kwin;
    const int m_id;
};

} // namespace velquist::test
