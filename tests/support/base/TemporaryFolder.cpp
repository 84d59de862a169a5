#include "support/base/TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace velquist::test {

namespace fs = std::filesystem;

namespace {
fs::path makeTemporaryFolder()
{
    std::string pattern = (fs::temp_directory_path() / "velquist-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return fs::path(pattern);
}
} // namespace

TemporaryFolder::TemporaryFolder() : m_path(makeTemporaryFolder()) {}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::filesystem::path TemporaryFolder::write(const std::string& relative, const std::string& text) const
{
    const fs::path file = m_path / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

std::string TemporaryFolder::read(const std::string& relative) const
{
    return readFile(m_path / relative);
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

} // namespace velquist::test
