#include "Core/ToolDetail.h"

#include "Core/ToolNaming.h"
#include "Core/ToolText.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"

#include <algorithm>
#include <initializer_list>
#include <sys/stat.h>

namespace velquist {

namespace {

constexpr std::size_t kCommandCharacters = 4000;
constexpr std::size_t kContentCharacters = 8000;
constexpr std::size_t kPlanCharacters = 20000;
constexpr std::size_t kMaxInspectedBytes = 16 * 1024 * 1024;

std::string clip(std::string_view text, std::size_t limit)
{
    return ToolText::truncated(text, limit, limit, ToolDetail::kTruncatedMarker);
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::optional<ToolDetail::Value> parseKnown(std::string_view tool, const nlohmann::json& in)
{
    using D = ToolDetail;
    if (isOneOf(tool, {"Bash", "shell", "Shell", "run_shell_command", "bash"})) {
        const auto command = Json::string(in, "command");
        if (!command)
            return std::nullopt;
        return D::Bash{clip(*command, kCommandCharacters), Json::string(in, "description"),
                       Json::boolean(in, "run_in_background").value_or(false)};
    }
    if (isOneOf(tool, {"exec_command", "local_shell"})) {
        const auto command = Json::firstString(in, {"cmd", "command"});
        if (!command)
            return std::nullopt;
        return D::Bash{clip(*command, kCommandCharacters), Json::string(in, "description"), false};
    }
    if (isOneOf(tool, {"Edit", "replace", "edit"})) {
        const auto path = Json::firstString(in, {"file_path", "filePath"});
        const auto oldString = Json::firstString(in, {"old_string", "oldString"});
        const auto newString = Json::firstString(in, {"new_string", "newString"});
        if (!path || !oldString || !newString)
            return std::nullopt;
        return D::Edit{
            *path, {EditHunk{clip(*oldString, kCommandCharacters), clip(*newString, kCommandCharacters)}}};
    }
    if (tool == "MultiEdit") {
        const auto path = Json::string(in, "file_path");
        const nlohmann::json* edits = Json::member(in, "edits");
        if (!path || !edits || !edits->is_array())
            return std::nullopt;
        std::vector<EditHunk> hunks;
        for (const auto& edit : *edits) {
            if (!edit.is_object())
                return std::nullopt;
            const auto oldString = Json::string(edit, "old_string");
            const auto newString = Json::string(edit, "new_string");
            if (oldString && newString)
                hunks.push_back(
                    EditHunk{clip(*oldString, kCommandCharacters), clip(*newString, kCommandCharacters)});
        }
        if (hunks.empty())
            return std::nullopt;
        return D::Edit{*path, std::move(hunks)};
    }
    if (isOneOf(tool, {"Write", "write_file", "write", "NotebookEdit"})) {
        const bool notebook = tool == "NotebookEdit";
        const auto path = notebook ? Json::firstString(in, {"notebook_path", "file_path"})
                                   : Json::firstString(in, {"file_path", "filePath"});
        if (!path)
            return std::nullopt;
        const std::string content =
            (notebook ? Json::firstString(in, {"new_source", "content"}) : Json::string(in, "content"))
                .value_or("");
        return D::Write{*path, clip(content, kContentCharacters), ToolText::lineCount(content)};
    }
    if (isOneOf(tool, {"AskUserQuestion", "request_user_input"})) {
        auto inquiry = AgentInquiry::parse(in);
        if (!inquiry)
            return std::nullopt;
        return D::Question{std::move(*inquiry)};
    }
    if (tool == "ExitPlanMode") {
        const auto plan = Json::string(in, "plan");
        if (!plan)
            return std::nullopt;
        return D::Plan{clip(*plan, kPlanCharacters)};
    }
    if (isOneOf(tool, {"Read", "read_file", "read_many_files", "read", "list"})) {
        const auto path = Json::firstString(in, {"file_path", "absolute_path", "filePath", "path"});
        if (!path)
            return std::nullopt;
        return D::Read{*path};
    }
    const bool grep = isOneOf(tool, {"Grep", "search_file_content", "grep"});
    if (grep || isOneOf(tool, {"Glob", "glob"})) {
        const auto pattern = Json::string(in, "pattern");
        if (!pattern)
            return std::nullopt;
        return D::Search{grep ? "Search" : "Find", *pattern, Json::string(in, "path")};
    }
    if (isOneOf(tool, {"WebFetch", "web_fetch", "webfetch"})) {
        const auto target = Json::firstString(in, {"url", "prompt"});
        if (!target)
            return std::nullopt;
        return D::Web{"Fetch", *target};
    }
    if (isOneOf(tool, {"WebSearch", "google_web_search", "websearch"})) {
        const auto query = Json::string(in, "query");
        if (!query)
            return std::nullopt;
        return D::Web{"Search the web for", *query};
    }
    if (isOneOf(tool, {"Task", "Agent"})) {
        const auto purpose = Json::string(in, "description");
        if (!purpose)
            return std::nullopt;
        return D::Agent{Json::string(in, "subagent_type").value_or("agent"), *purpose};
    }
    return std::nullopt;
}

std::optional<std::string> commandRisk(const std::string& command)
{
    std::string lower = command;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    });
    auto has = [&](std::string_view part) { return lower.find(part) != std::string::npos; };
    if (has("rm -rf") || has("rm -fr"))
        return "Deletes files recursively";
    if (has("sudo "))
        return "Runs as root";
    if (has("--force") || has(" -f "))
        return "Forces past safety checks";
    if (has("curl ") && has("| sh"))
        return "Pipes a download into a shell";
    if (has(" > "))
        return "Overwrites a file by redirection";
    return std::nullopt;
}

std::optional<std::string> overwriteNote(const std::filesystem::path& file)
{
    // Nothing we can see at the path (missing, or behind a folder we may not enter): no note.
    struct stat info
    {
    };
    if (::stat(file.c_str(), &info) != 0)
        return std::nullopt;
    // FileUtil::read refuses folders, devices and pipes, and never blocks on a FIFO.
    const FileRead read = FileUtil::read(file, kMaxInspectedBytes);
    if (!read.ok() || !ToolText::isValidUtf8(read.bytes))
        return "Overwrites an existing file";
    return "Overwrites an existing " + std::to_string(ToolText::lineCount(read.bytes)) + " line file";
}

template <typename Json> nlohmann::ordered_json wrapped(const char* name, Json payload)
{
    nlohmann::ordered_json json;
    json[name] = std::move(payload);
    return json;
}

} // namespace

nlohmann::ordered_json EditHunk::toJson() const
{
    return nlohmann::ordered_json{{"oldString", oldString}, {"newString", newString}};
}

Decoded<EditHunk> EditHunk::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<EditHunk>([&] {
        const StoredForm::Reader reader(json, {});
        return EditHunk{reader.string("oldString"), reader.string("newString")};
    });
}

std::string ToolDetail::cutPath(std::string path)
{
    if (path.size() <= kMaxPathCharacters)
        return path;
    return ToolText::truncated(path, kMaxPathCharacters, kMaxPathCharacters - 1, "\u2026");
}

namespace {

// Paths, patterns and addresses of any length may come in; a session keeps them as long as it
// shows the request, so each is cut.
void cutPaths(ToolDetail::Value& value)
{
    std::visit(
        [](auto& detail) {
            using Case = std::decay_t<decltype(detail)>;
            if constexpr (std::is_same_v<Case, ToolDetail::Edit> || std::is_same_v<Case, ToolDetail::Write> ||
                          std::is_same_v<Case, ToolDetail::Read>) {
                detail.path = ToolDetail::cutPath(std::move(detail.path));
            } else if constexpr (std::is_same_v<Case, ToolDetail::Search>) {
                detail.pattern = ToolDetail::cutPath(std::move(detail.pattern));
                if (detail.path)
                    detail.path = ToolDetail::cutPath(std::move(*detail.path));
            } else if constexpr (std::is_same_v<Case, ToolDetail::Web>) {
                detail.target = ToolDetail::cutPath(std::move(detail.target));
            } else if constexpr (std::is_same_v<Case, ToolDetail::Bash>) {
                if (detail.purpose)
                    detail.purpose = clip(*detail.purpose, kCommandCharacters);
            } else if constexpr (std::is_same_v<Case, ToolDetail::Agent>) {
                detail.purpose = clip(detail.purpose, kCommandCharacters);
                detail.kind = ToolDetail::boundedToolName(detail.kind);
            }
        },
        value);
}

} // namespace

ToolDetail ToolDetail::parse(std::string_view toolName, const nlohmann::json& input)
{
    static const nlohmann::json emptyObject = nlohmann::json::object();
    const nlohmann::json& in = input.is_object() ? input : emptyObject;
    if (auto known = parseKnown(toolName, in)) {
        cutPaths(*known);
        return ToolDetail(std::move(*known));
    }
    std::string name = boundedToolName(toolName);
    std::string display = ToolNaming::display(name);
    return ToolDetail(Other{std::move(name), std::move(display), ToolParameter::flatten(in)});
}

std::string ToolDetail::boundedToolName(std::string_view toolName)
{
    return ToolText::truncated(toolName, kMaxToolNameCharacters, kMaxToolNameCharacters - 1, "\u2026");
}

std::string ToolDetail::title() const
{
    struct Visitor
    {
        std::string operator()(const Bash& c) const { return c.purpose.value_or("Run a command"); }
        std::string operator()(const Edit& c) const
        {
            std::string text = "Edit " + ToolText::fileName(c.path);
            if (c.hunks.size() >= 2)
                text += " (" + std::to_string(c.hunks.size()) + " changes)";
            return text;
        }
        std::string operator()(const Write& c) const { return "Write " + ToolText::fileName(c.path); }
        std::string operator()(const Question& c) const
        {
            return c.inquiry.questions.empty() ? "A question" : c.inquiry.questions.front().question;
        }
        std::string operator()(const Plan&) const { return "Review the plan"; }
        std::string operator()(const Read& c) const { return "Read " + ToolText::fileName(c.path); }
        std::string operator()(const Search& c) const { return c.kind + " " + c.pattern; }
        std::string operator()(const Web& c) const { return c.kind + " " + c.target; }
        std::string operator()(const Agent& c) const { return "Agent: " + c.purpose; }
        std::string operator()(const Other& c) const { return c.display; }
    };
    return std::visit(Visitor{}, m_value);
}

std::optional<std::string> ToolDetail::riskNote() const
{
    if (const auto* bash = as<Bash>())
        return commandRisk(bash->command);
    if (as<Write>())
        return m_writeTargetNote;
    return std::nullopt;
}

void ToolDetail::inspectWriteTarget(const std::filesystem::path& sessionFolder)
{
    const auto* write = as<Write>();
    if (!write || write->path.empty())
        return;
    std::filesystem::path target(write->path);
    if (target.is_relative()) {
        if (!sessionFolder.is_absolute())
            return;
        target = sessionFolder / target;
    }
    m_writeTargetNote = overwriteNote(target);
}

nlohmann::ordered_json ToolDetail::toJson() const
{
    using OJ = nlohmann::ordered_json;
    struct Visitor
    {
        OJ operator()(const Bash& c) const
        {
            OJ payload{{"command", c.command}};
            StoredForm::putOptional(payload, "purpose", c.purpose);
            payload["background"] = c.background;
            return wrapped("bash", std::move(payload));
        }
        OJ operator()(const Edit& c) const
        {
            OJ hunks = OJ::array();
            for (const auto& hunk : c.hunks)
                hunks.push_back(hunk.toJson());
            return wrapped("edit", OJ{{"path", c.path}, {"hunks", std::move(hunks)}});
        }
        OJ operator()(const Write& c) const
        {
            return wrapped("write", OJ{{"path", c.path}, {"content", c.content}, {"lineCount", c.lineCount}});
        }
        OJ operator()(const Question& c) const { return wrapped("question", OJ{{"_0", c.inquiry.toJson()}}); }
        OJ operator()(const Plan& c) const { return wrapped("plan", OJ{{"_0", c.text}}); }
        OJ operator()(const Read& c) const { return wrapped("read", OJ{{"path", c.path}}); }
        OJ operator()(const Search& c) const
        {
            OJ payload{{"kind", c.kind}, {"pattern", c.pattern}};
            StoredForm::putOptional(payload, "path", c.path);
            return wrapped("search", std::move(payload));
        }
        OJ operator()(const Web& c) const
        {
            return wrapped("web", OJ{{"kind", c.kind}, {"target", c.target}});
        }
        OJ operator()(const Agent& c) const
        {
            return wrapped("agent", OJ{{"kind", c.kind}, {"purpose", c.purpose}});
        }
        OJ operator()(const Other& c) const
        {
            OJ parameters = OJ::array();
            for (const auto& parameter : c.parameters)
                parameters.push_back(parameter.toJson());
            return wrapped(
                "other",
                OJ{{"toolName", c.toolName}, {"display", c.display}, {"parameters", std::move(parameters)}});
        }
    };
    return std::visit(Visitor{}, m_value);
}

Decoded<ToolDetail> ToolDetail::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<ToolDetail>([&]() -> ToolDetail {
        const auto [name, r] = StoredForm::enumerationCase(
            json, {},
            {"bash", "edit", "write", "question", "plan", "read", "search", "web", "agent", "other"});
        if (name == "bash")
            return Bash{r.string("command"), r.optionalString("purpose"), r.boolean("background")};
        if (name == "edit")
            return Edit{r.string("path"), r.records<EditHunk>("hunks")};
        if (name == "write")
            return Write{r.string("path"), r.string("content"), r.integer("lineCount")};
        if (name == "question")
            return Question{r.record<AgentInquiry>("_0")};
        if (name == "plan")
            return Plan{r.string("_0")};
        if (name == "read")
            return Read{r.string("path")};
        if (name == "search")
            return Search{r.string("kind"), r.string("pattern"), r.optionalString("path")};
        if (name == "web")
            return Web{r.string("kind"), r.string("target")};
        if (name == "agent")
            return Agent{r.string("kind"), r.string("purpose")};
        return Other{r.string("toolName"), r.string("display"), r.records<ToolParameter>("parameters")};
    });
}

} // namespace velquist
