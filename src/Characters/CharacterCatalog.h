#pragma once

#include "Characters/NotchCharacter.h"

#include <filesystem>
#include <optional>
#include <vector>

class QThreadPool;

namespace velquist {

// The character packs the application ships: one folder per pack under "Characters" in the
// resources folder. The list is read once, on first use, and kept: a pack added or removed while
// the application runs is seen at the next launch. The bar's character and the settings picker
// read the same catalog, so both fall back alike when the chosen pack is gone.
class CharacterCatalog
{
  public:
    // The pack id that the default choice falls to.
    static constexpr const char* kDefaultId = "velq";

    // `workers`, when given, is where the views of this catalog's packs decode them.
    explicit CharacterCatalog(std::filesystem::path folder, QThreadPool* workers = nullptr);

    // "Characters" inside the resources folder.
    static std::filesystem::path bundledDirectory(const std::filesystem::path& resourceDirectory);

    // Every valid pack of `folder`, the default pack first, then by id (plain byte order). Folders
    // named "none" or "usage", folders without a readable manifest, with one that does not decode,
    // or without a resting animation are left out without a word. A pack over the frames' budget
    // is left out whole with one line in the system log. Reads the folder and the sheets' headers
    // synchronously, never their pixels.
    static std::vector<NotchCharacter> load(const std::filesystem::path& folder);

    // The packs of this catalog's folder, loaded on the first call.
    const std::vector<NotchCharacter>& packs() const;
    const std::filesystem::path& folder() const { return m_folder; }
    QThreadPool* workers() const { return m_workers; }

  private:
    std::filesystem::path m_folder;
    QThreadPool* m_workers;
    mutable std::optional<std::vector<NotchCharacter>> m_packs;
};

} // namespace velquist
