#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace velquist::test {

// A fresh folder set as HOME for the life of the object; the previous HOME comes back and the
// folder is removed afterwards.
class TemporaryHome
{
  public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Writes `text` to a file under the home folder, creating its folders.
    std::filesystem::path write(const std::string& relative, const std::string& text) const;
    // The content of a file under the home folder; empty when missing.
    std::string read(const std::string& relative) const;

  private:
    std::filesystem::path m_path;
    std::optional<std::string> m_previous;
};

// A temporary folder removed when the object goes.
class TemporaryFolder
{
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// The content of a file; empty when missing.
std::string readFile(const std::filesystem::path& file);

} // namespace velquist::test
