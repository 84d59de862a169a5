#include "Core/DefaultsWatch.h"

#include "Platform/UserDefaults.h"

#include <QCoreApplication>
#include <QPointer>

namespace velquist {

DefaultsWatch::DefaultsWatch(UserDefaults& defaults, std::set<std::string> keys, QObject* parent)
    : QObject(parent), m_defaults(defaults)
{
    QPointer<DefaultsWatch> self(this);
    m_token = m_defaults.addObserver([self, keys = std::move(keys)](const std::string& key) {
        if (!keys.contains(key))
            return;
        // The pointer is only read on the main thread, where the watch is also deleted.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, name = QString::fromStdString(key)] {
                if (self)
                    Q_EMIT self->changed(name);
            },
            Qt::AutoConnection);
    });
}

DefaultsWatch::~DefaultsWatch()
{
    m_defaults.removeObserver(m_token);
}

} // namespace velquist
