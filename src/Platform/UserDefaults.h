#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace velquist {

// The user's settings: one JSON value per key, each keeping its JSON type, so a Bool stays a Bool
// and "stored as another type" can be told apart from "missing". Thread-safe. This base keeps the
// values in memory (tests use it as it is); a subclass persists them.
class UserDefaults
{
  public:
    using Observer = std::function<void(const std::string& key)>;

    UserDefaults() = default;
    explicit UserDefaults(nlohmann::json initial);
    virtual ~UserDefaults() = default;
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The value stored under `key`, or none.
    std::optional<nlohmann::json> value(const std::string& key) const;
    // Stores `value`; observers hear of it only when it differs from what was stored.
    void setValue(const std::string& key, nlohmann::json value);
    // Removes `key`; observers hear of it only when it was there.
    void remove(const std::string& key);
    // Every key with its value.
    nlohmann::json snapshot() const;
    // Removes every value and the saved form of them, and saves nothing from then on: what the
    // application does when the user removes it. Observers hear of each key that was there.
    void removePersistentDomain();

    // Typed reads: none when missing or stored as another type.
    std::optional<bool> boolValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    std::optional<double> numberValue(const std::string& key) const;

    // Called with the key after each real change, on the thread that made it.
    int addObserver(Observer observer);
    void removeObserver(int token);

  protected:
    // Called with all values after each real change, under no lock of ours.
    virtual void persist(const nlohmann::json& /*all*/) {}
    // Deletes the saved form, for removePersistentDomain(); persist() is not called again.
    virtual void erasePersisted() {}

  private:
    void changed(const std::string& key);
    void notify(const std::string& key);

    mutable std::mutex m_mutex;
    nlohmann::json m_values = nlohmann::json::object();
    std::mutex m_persistMutex;
    bool m_persistenceRemoved = false; // guarded by m_persistMutex
    std::map<int, Observer> m_observers;
    int m_nextToken = 1;
};

} // namespace velquist
