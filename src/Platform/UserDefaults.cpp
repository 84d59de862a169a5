#include "Platform/UserDefaults.h"

#include <vector>

namespace velquist {

UserDefaults::UserDefaults(nlohmann::json initial)
{
    if (initial.is_object())
        m_values = std::move(initial);
}

std::optional<nlohmann::json> UserDefaults::value(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return *found;
}

void UserDefaults::setValue(const std::string& key, nlohmann::json value)
{
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_values.find(key);
        if (found != m_values.end() && *found == value && found->type() == value.type())
            return;
        m_values[key] = std::move(value);
    }
    changed(key);
}

void UserDefaults::remove(const std::string& key)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_values.erase(key) == 0)
            return;
    }
    changed(key);
}

nlohmann::json UserDefaults::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

void UserDefaults::removePersistentDomain()
{
    std::vector<std::string> keys;
    {
        std::lock_guard persistLock(m_persistMutex);
        {
            std::lock_guard lock(m_mutex);
            for (const auto& item : m_values.items())
                keys.push_back(item.key());
            m_values = nlohmann::json::object();
        }
        m_persistenceRemoved = true;
        erasePersisted();
    }
    for (const auto& key : keys)
        notify(key);
}

std::optional<bool> UserDefaults::boolValue(const std::string& key) const
{
    auto stored = value(key);
    if (!stored || !stored->is_boolean())
        return std::nullopt;
    return stored->get<bool>();
}

std::optional<std::string> UserDefaults::stringValue(const std::string& key) const
{
    auto stored = value(key);
    if (!stored || !stored->is_string())
        return std::nullopt;
    return stored->get<std::string>();
}

std::optional<double> UserDefaults::numberValue(const std::string& key) const
{
    auto stored = value(key);
    if (!stored || !stored->is_number())
        return std::nullopt;
    return stored->get<double>();
}

int UserDefaults::addObserver(Observer observer)
{
    std::lock_guard lock(m_mutex);
    const int token = m_nextToken++;
    m_observers.emplace(token, std::move(observer));
    return token;
}

void UserDefaults::removeObserver(int token)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(token);
}

void UserDefaults::changed(const std::string& key)
{
    {
        // Serialised so that two writers cannot persist their snapshots out of order.
        std::lock_guard persistLock(m_persistMutex);
        if (!m_persistenceRemoved) {
            nlohmann::json latest;
            {
                std::lock_guard lock(m_mutex);
                latest = m_values;
            }
            persist(latest);
        }
    }
    notify(key);
}

void UserDefaults::notify(const std::string& key)
{
    std::vector<Observer> observers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [token, observer] : m_observers)
            observers.push_back(observer);
    }
    for (const auto& observer : observers)
        observer(key);
}

} // namespace velquist
