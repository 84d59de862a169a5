#pragma once

#include <filesystem>
#include <string>

namespace velquist::test {

// A temporary folder removed when the object goes. Tests use one as a home folder by handing
// its path in; none changes the process's HOME.
class TemporaryFolder
{
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // Writes `text` to a file under the folder, creating its folders.
    std::filesystem::path write(const std::string& relative, const std::string& text) const;
    // The content of a file under the folder; empty when missing.
    std::string read(const std::string& relative) const;

  private:
    std::filesystem::path m_path;
};

// The whole content of `file`; empty when missing.
std::string readFile(const std::filesystem::path& file);

} // namespace velquist::test
