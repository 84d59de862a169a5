#pragma once

#include <QObject>
#include <QString>
#include <set>
#include <string>

namespace velquist {

class UserDefaults;

// Tells the main thread when one of a few settings changes, whichever thread changed it. For views
// that show a setting and must follow a change made elsewhere while they are open.
class DefaultsWatch final : public QObject
{
    Q_OBJECT

  public:
    DefaultsWatch(UserDefaults& defaults, std::set<std::string> keys, QObject* parent = nullptr);
    ~DefaultsWatch() override;

  Q_SIGNALS:
    // On the main thread, after the value under `key` changed.
    void changed(const QString& key);

  private:
    UserDefaults& m_defaults;
    int m_token = 0;
};

} // namespace velquist
