#include "Characters/CharacterCatalog.h"

#include "Characters/CharacterFrames.h"
#include "Shared/FileUtil.h"
#include "Shared/Log.h"

#include <algorithm>

namespace velquist {
namespace fs = std::filesystem;

namespace {

// A manifest is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxManifestBytes = 1024 * 1024;

} // namespace

CharacterCatalog::CharacterCatalog(fs::path folder, QThreadPool* workers)
    : m_folder(std::move(folder)), m_workers(workers)
{
}

fs::path CharacterCatalog::bundledDirectory(const fs::path& resourceDirectory)
{
    return resourceDirectory / "Characters";
}

std::vector<NotchCharacter> CharacterCatalog::load(const fs::path& folder)
{
    std::vector<NotchCharacter> packs;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error)
        return packs;
    for (const fs::directory_entry& entry : entries) {
        std::error_code kindError;
        if (!entry.is_directory(kindError))
            continue;
        const std::string id = entry.path().filename().string();
        if (id == "none" || id == "usage")
            continue;
        const FileRead read = FileUtil::read(entry.path() / "manifest.json", kMaxManifestBytes);
        if (!read.ok())
            continue;
        auto manifest = CharacterManifest::parse(read.bytes);
        if (!manifest || !manifest->animations.contains("resting"))
            continue;
        NotchCharacter pack{id, std::move(*manifest), entry.path()};
        if (const auto fault = CharacterFrames::budgetFault(pack)) {
            Log::system("character pack \"" + id + "\" refused: " + *fault);
            continue;
        }
        packs.push_back(std::move(pack));
    }
    std::sort(packs.begin(), packs.end(), [](const NotchCharacter& a, const NotchCharacter& b) {
        const bool aDefault = a.id == kDefaultId;
        const bool bDefault = b.id == kDefaultId;
        if (aDefault != bDefault)
            return aDefault;
        return a.id < b.id;
    });
    return packs;
}

const std::vector<NotchCharacter>& CharacterCatalog::packs() const
{
    if (!m_packs)
        m_packs = load(m_folder);
    return *m_packs;
}

} // namespace velquist
