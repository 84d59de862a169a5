#pragma once

#include <filesystem>

namespace velquist::LegacySupportMigration {

// Moves every item of `from` into `to` (creating it), leaving an item where it is when `to`
// already has one of that name; removes `from` once it is empty. A failed move is logged and ends
// the migration with the rest left in place. Never throws.
void run(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace velquist::LegacySupportMigration
