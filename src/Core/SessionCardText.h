#pragma once

#include "Core/Session.h"

#include <QString>
#include <optional>
#include <string>

namespace velquist {

// What the card of one session in the panel says and which controls it holds, worked out from the
// session alone. Pure text and kinds, no widgets: the card (UI/SessionRow) draws them, in the
// colours of its palette.
namespace SessionCardText {

// What the card offers below its status line.
enum class Content { none, permission, plan, questionForm, jumpToAnswer, markRead };
// How the status line is coloured: quietly, or in the signal of what the session asks for.
enum class Tone { quiet, permission, waiting };

struct StatusLine
{
    QString text;
    Tone tone = Tone::quiet;
    bool operator==(const StatusLine&) const = default;
};

// "No folder" for "unknown", else the last component of the folder (cleaned and bounded).
QString title(const std::string& cwd);
StatusLine statusLine(const SessionStatus& status);
Content contentFor(const Session& session);
// The first non-empty line of the first prompt, trimmed of spaces and tabs, at most 60
// characters; none without one.
std::optional<std::string> promptSeed(const std::optional<std::string>& firstPrompt);
// The title of the prompt item of the silence menu for a seed.
QString promptMenuTitle(const std::string& seed);
// Said in the status line after a jump that found no terminal, until the session changes.
QString noTerminalText();

} // namespace SessionCardText
} // namespace velquist
