#pragma once

#include <filesystem>
#include <string>

namespace velquist {

// One of our own state files in the support folder ("sessions.json", "silence-rules.json"):
// written whole and atomically with mode 0600, and never written over when its earlier content
// could not be read.
class StateFile
{
  public:
    explicit StateFile(std::filesystem::path path) : m_path(std::move(path)) {}

    const std::filesystem::path& path() const { return m_path; }
    // Marks the file as holding something we could not read: it is moved aside (".corrupt")
    // before the next write.
    void keepOriginal() { m_keepOriginal = true; }
    // Writes `bytes`, creating the folder (mode 0700: it is the support folder). Failures are
    // traced and otherwise ignored; the next change tries again.
    void write(const std::string& bytes);

  private:
    std::filesystem::path m_path;
    bool m_keepOriginal = false;
};

} // namespace velquist
