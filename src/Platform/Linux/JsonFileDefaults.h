#pragma once

#include "Platform/UserDefaults.h"

#include <filesystem>

namespace velquist {

// User defaults kept as one JSON object in a file (~/.config/Velquist/defaults.json), rewritten
// atomically with mode 0600 after each change. A file that does not parse is moved aside at load
// so the next save cannot write over it.
class JsonFileDefaults final : public UserDefaults
{
  public:
    explicit JsonFileDefaults(std::filesystem::path file);

    const std::filesystem::path& file() const { return m_file; }

  protected:
    void persist(const nlohmann::json& all) override;
    void erasePersisted() override;

  private:
    static nlohmann::json load(const std::filesystem::path& file);

    std::filesystem::path m_file;
};

} // namespace velquist
