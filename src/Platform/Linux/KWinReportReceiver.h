#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace velquist {

// Where KWin scripts call back (`callDBus`): the answer of one script by its token, and the
// changes a watching script reports. It lives on a thread of its own, so a caller that waits for
// an answer may be the main thread.
class KWinReportReceiver final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velquist.KWinReport")

  public:
    static constexpr std::size_t maxReportBytes = 8u << 20;

    // The answer for `token`, waiting at most `timeout`; none when it did not come in time.
    std::optional<std::string> await(const std::string& token, std::chrono::milliseconds timeout);

  public Q_SLOTS:
    Q_SCRIPTABLE void report(const QString& token, const QString& text);
    Q_SCRIPTABLE void changed(const QString& what);

  Q_SIGNALS:
    void activeWindowChanged();
    void stackingChanged();

  private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::map<std::string, std::string> m_reports;
};

} // namespace velquist
