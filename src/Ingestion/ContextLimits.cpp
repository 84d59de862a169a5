#include "Ingestion/ContextLimits.h"

#include "Shared/FileUtil.h"
#include "Shared/Json.h"

#include <QString>
#include <sys/stat.h>

namespace velquist {

namespace {

// A settings file is small; anything larger is not one we should parse on the adapter's thread.
constexpr std::size_t kMaxSettingsBytes = 4 * 1024 * 1024;
constexpr std::string_view kExtendedMarker = "[1m]";

std::optional<std::chrono::nanoseconds> modificationTime(const std::filesystem::path& file)
{
    struct stat info
    {
    };
    if (::stat(file.c_str(), &info) != 0)
        return std::nullopt;
    return std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
}

std::string lowered(const std::string& text)
{
    return QString::fromStdString(text).toLower().toStdString();
}

} // namespace

ContextLimits::ContextLimits(std::filesystem::path settingsFile) : m_settingsFile(std::move(settingsFile)) {}

std::int64_t ContextLimits::limit(const std::optional<std::string>& model, std::int64_t observedTokens)
{
    if (windowFor(observedTokens) == kExtendedWindow)
        return kExtendedWindow;
    const auto family = extendedFamily();
    if (family && model && lowered(*model).find(*family) != std::string::npos)
        return kExtendedWindow;
    return kDefaultWindow;
}

std::optional<std::string> ContextLimits::extendedFamily()
{
    const auto mtime = modificationTime(m_settingsFile);
    if (!m_hasRead || mtime != m_cachedMTime) {
        m_cachedMTime = mtime;
        m_cachedModel = readModel(m_settingsFile);
        m_hasRead = true;
    }
    if (!m_cachedModel || m_cachedModel->find(kExtendedMarker) == std::string::npos)
        return std::nullopt;
    const std::string family = lowered(m_cachedModel->substr(0, m_cachedModel->find('[')));
    if (family.empty())
        return std::nullopt;
    return family;
}

std::optional<std::string> ContextLimits::readModel(const std::filesystem::path& file)
{
    const FileRead read = FileUtil::read(file, kMaxSettingsBytes);
    if (!read.ok())
        return std::nullopt;
    const auto json = Json::parse(read.bytes);
    if (!json)
        return std::nullopt;
    return Json::string(*json, "model");
}

} // namespace velquist
