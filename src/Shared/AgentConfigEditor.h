#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace velquist {

// One agent configuration file that may hold our hook entries, and the backup that receives its
// previous bytes before we rewrite it (none when empty).
struct AgentConfigFile
{
    std::filesystem::path url;
    std::filesystem::path backup;
};

// The outcome of `AgentConfigEditor::edit`.
struct AgentConfigEdit
{
    enum class Status {
        rewritten,   // the edit changed the settings; the backup and the new file are written
        unchanged,   // the edit changed nothing; neither file was touched
        missing,     // there is no such file
        unreadable,  // it exists but cannot be read (or is no regular file, or is huge)
        notObject,   // it is not JSON, or its top level is not an object
        notWritable, // the user may not write it, or another user owns it; it is left alone
        failed,      // the backup or the new file could not be written; the file is as it was
    };
    Status status = Status::missing;
    std::string error;
};

// Edits an agent's configuration file. The file belongs to the user: an edit changes only what it
// must, keeps a copy of the previous bytes, and never loses a byte to a crash, a race with the
// agent or a failed write.
namespace AgentConfigEditor {

inline constexpr std::string_view kBackupSuffix = ".velquist.bak";

// The backup beside `file`: its name followed by ".velquist.bak".
std::filesystem::path backupOf(const std::filesystem::path& file);

// Reads `file`, lets `edit` change its settings, and when it reports a change writes the previous
// bytes to the backup and then the new settings over the file, both atomically and keeping the
// file's mode; what the edit left alone keeps its bytes and the file its layout. Nothing is
// rewritten when the backup cannot be written, and an edit made by someone else while we worked is
// never overwritten (the edit is redone on the new content). A file the user may not write, or
// that another user owns, is never replaced: renaming over it would drop its protection.
AgentConfigEdit edit(const AgentConfigFile& file, const std::function<bool(nlohmann::ordered_json&)>& edit);

} // namespace AgentConfigEditor
} // namespace velquist
