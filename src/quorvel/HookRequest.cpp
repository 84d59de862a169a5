#include "quorvel/HookRequest.h"

#include "Shared/JsonScan.h"
#include "Shared/ProcessTree.h"

#include <charconv>
#include <cstdlib>
#include <iterator>
#include <unistd.h>
#include <unordered_set>

namespace velquist::HookRequest {

void readPayload(std::string_view input, std::size_t maxBytes, HookPayload& payload)
{
    const auto scan = JsonScan::scanObject(input);
    if (!scan)
        return;
    if (const JsonMember* name = scan->find("hook_event_name")) {
        if (auto value = JsonScan::stringValue(name->value))
            payload.eventName = std::move(*value);
    }
    if (scan->clean && input.size() <= maxBytes) {
        payload.json = scan->object;
        payload.whole = true;
        return;
    }
    // Keep what the application needs to place the event (its name, the session, the folder);
    // the bulky or unreadable members go.
    // A strict parser keeps the last of duplicate keys: an earlier duplicate relayed alone would
    // show the application a value the client did not read (the event name among them).
    std::vector<bool> last(scan->members.size(), false);
    std::unordered_set<std::string> seen;
    for (std::size_t i = scan->members.size(); i-- > 0;) {
        const auto key = JsonScan::stringValue(scan->members[i].key);
        last[i] = key && seen.insert(*key).second;
    }
    std::string& text = payload.cutDown;
    text.assign(1, '{');
    for (std::size_t i = 0; i < scan->members.size(); ++i) {
        const JsonMember& member = scan->members[i];
        if (!last[i] || !member.clean || text.size() + member.key.size() + member.value.size() + 3 > maxBytes)
            continue;
        if (text.size() > 1)
            text += ',';
        text.append(member.key).append(":").append(member.value);
    }
    text += '}';
    payload.json = text;
}

Ancestry ancestry(pid_t parent)
{
    constexpr std::size_t kMaxChain = 15;
    Ancestry result;
    bool searching = true;
    // A shell that runs the hook command with "-c" and the agent's terminal: kept only in case no
    // process above it holds the terminal.
    std::optional<TerminalOwner> commandShell;
    for (pid_t pid = parent; pid >= 2 && result.chain.size() < kMaxChain;) {
        result.chain.push_back(pid);
        const bool needNext = result.chain.size() < kMaxChain;
        if (!searching && !needNext)
            break;
        const auto record = ProcessTree::stat(pid);
        if (!record)
            break;
        if (searching && record->ttyNr != 0) {
            if (std::string name = ProcessTree::ttyName(record->ttyNr); !name.empty()) {
                // Such a shell may have forked us and be gone a moment later; the session
                // belongs to the agent that started it.
                if (!ProcessTree::runsShellCommand(ProcessTree::commandLine(pid))) {
                    result.terminal = TerminalOwner{std::move(name), pid};
                    searching = false;
                } else if (!commandShell) {
                    commandShell = TerminalOwner{std::move(name), pid};
                }
            }
        }
        pid = record->parent;
    }
    if (!result.terminal)
        result.terminal = std::move(commandShell);
    return result;
}

std::vector<std::pair<std::string, std::string>> terminalEnv()
{
    // One pass over the environment instead of a search of all of it for each name; the first
    // entry of a name wins, as with getenv.
    constexpr std::size_t kKeys = std::size(kTerminalEnvKeys);
    std::string_view keys[kKeys];
    for (std::size_t i = 0; i < kKeys; ++i)
        keys[i] = kTerminalEnvKeys[i];
    const char* values[kKeys] = {};
    std::size_t left = kKeys;
    for (char** entry = environ; entry && *entry && left > 0; ++entry) {
        const std::string_view text = *entry;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view name = text.substr(0, equals);
        for (std::size_t i = 0; i < kKeys; ++i) {
            if (!values[i] && name == keys[i]) {
                values[i] = *entry + equals + 1;
                --left;
                break;
            }
        }
    }
    std::vector<std::pair<std::string, std::string>> found;
    for (std::size_t i = 0; i < kKeys; ++i) {
        if (values[i])
            found.emplace_back(kTerminalEnvKeys[i], values[i]);
    }
    return found;
}

void appendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = JsonScan::utf8Length(text.substr(i));
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                constexpr char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

std::string metaJson(const Context& context)
{
    std::string out;
    out.reserve(512);
    out += R"({"tty":)";
    if (context.terminal)
        appendQuoted(out, context.terminal->tty);
    else
        out += "null";
    out += R"(,"ttyOwnerPid":)";
    out += context.terminal ? std::to_string(context.terminal->pid) : "null";
    out += R"(,"ancestorPids":[)";
    for (std::size_t i = 0; i < context.ancestors.size(); ++i) {
        if (i > 0)
            out += ',';
        out += std::to_string(context.ancestors[i]);
    }
    out += R"(],"pid":)";
    out += std::to_string(context.pid);
    out += R"(,"ppid":)";
    out += std::to_string(context.parent);
    char number[64];
    const auto written = std::to_chars(number, number + sizeof number, context.receivedAt);
    out += R"(,"receivedAt":)";
    out.append(number, written.ptr);
    out += R"(,"engine":)";
    appendQuoted(out, context.engine);
    out += R"(,"env":{)";
    for (std::size_t i = 0; i < context.terminalEnv.size(); ++i) {
        if (i > 0)
            out += ',';
        appendQuoted(out, context.terminalEnv[i].first);
        out += ':';
        appendQuoted(out, context.terminalEnv[i].second);
    }
    out += '}';
    if (context.decisionId) {
        out += R"(,"mode":"decide","decisionId":)";
        appendQuoted(out, *context.decisionId);
    }
    out += '}';
    return out;
}

Envelope envelope(const Context& context)
{
    Envelope result{R"({"payload":)", R"(,"meta":)"};
    result.tail += metaJson(context);
    result.tail += '}';
    return result;
}

} // namespace velquist::HookRequest
