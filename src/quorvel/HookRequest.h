#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace velquist {

// The hook object as it will be relayed.
struct HookPayload
{
    // The object's text for "payload": "{}" when the input held no object. When `whole`, a view
    // of the input itself, which must outlive it; else it views `cutDown`.
    std::string_view json = "{}";
    std::string eventName; // its "hook_event_name", "" when absent or not a string
    // Whether `json` is the agent's whole object. A payload over the size cap, or one with text a
    // strict parser refuses, is cut down to the members that can be relayed.
    bool whole = false;
    std::string cutDown;

    HookPayload() = default;
    HookPayload(const HookPayload&) = delete;
    HookPayload& operator=(const HookPayload&) = delete;
};

// The controlling terminal of the agent and the process it was found on.
struct TerminalOwner
{
    std::string tty; // the name under /dev, "pts/3"
    pid_t pid = 0;
};

// The request the hook client writes to the application's socket: {"payload", "meta"}.
namespace HookRequest {

// The terminal variables relayed so the application can focus the right tab or pane.
inline constexpr const char* kTerminalEnvKeys[] = {
    "ITERM_SESSION_ID", "WEZTERM_PANE",   "WEZTERM_UNIX_SOCKET",        "KITTY_WINDOW_ID",
    "KITTY_LISTEN_ON",  "WARP_FOCUS_URL", "WARP_TERMINAL_SESSION_UUID", "TMUX",
    "TMUX_PANE",        "ZELLIJ",         "ZELLIJ_SESSION_NAME",        "TERM_PROGRAM",
};

// `input` read as a hook object into `payload`. The event name comes from the whole input even
// when it is too large to relay; the relayed text is the input's own bytes when it is a clean
// object of at most `maxBytes`, else the members that are clean and fit.
void readPayload(std::string_view input, std::size_t maxBytes, HookPayload& payload);

// The processes above the client and the terminal among them.
struct Ancestry
{
    // The parent followed by up to 14 of its ancestors; empty when the parent is below 2.
    std::vector<pid_t> chain;
    // The first member of `chain` that has a controlling terminal with a name and is not a shell
    // running a `-c` command (the first such shell when no other member has one). A member whose
    // record cannot be read ends the search: what lies above it is not known.
    std::optional<TerminalOwner> terminal;
};

// One walk up the process table that reads each member's record once.
Ancestry ancestry(pid_t parent);

// Everything "meta" holds but the payload; `decisionId` is added only in decide mode.
struct Context
{
    std::string engine;
    std::optional<std::string> decisionId;
    pid_t pid = 0;
    pid_t parent = 0;
    double receivedAt = 0;
    std::vector<pid_t> ancestors;
    std::optional<TerminalOwner> terminal;
    std::vector<std::pair<std::string, std::string>> terminalEnv;
};

// The terminal variables of `kTerminalEnvKeys` that are set, empty values included.
std::vector<std::pair<std::string, std::string>> terminalEnv();

// The "meta" object as compact JSON. Written by hand: the client runs on every tool call, and a
// JSON library's tree and serialiser cost more start-up than the rest of its work.
std::string metaJson(const Context& context);

// The request's text around the payload: it is sent as `head`, the payload, `tail` (compact
// JSON, no framing), so a large payload is never copied.
struct Envelope
{
    std::string head;
    std::string tail;
};
Envelope envelope(const Context& context);

// Appends `text` as a JSON string; bytes that are not UTF-8 become U+FFFD.
void appendQuoted(std::string& out, std::string_view text);

} // namespace HookRequest
} // namespace velquist
