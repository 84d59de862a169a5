// The blocking half of the fallback detector: recognising agents in the process table.
#include "Adapters/FallbackDetector.h"
#include "Adapters/ProcessTable.h"
#include "Shared/ProgramName.h"
#include "Terminal/TerminalBinder.h"

#include <string_view>

namespace velquist {

namespace {

// The agents known only from the process table, searched in this order.
struct KnownAgent
{
    std::string_view brand;
    // The name of its program, or of its script run by an interpreter.
    std::string_view program;
    // A name it has only as a script: a native program of that name is something else.
    std::string_view script;
    // The npm package whose installed files it runs, for a script run by its full path.
    std::string_view package;
};
constexpr KnownAgent kKnownAgents[] = {
    {"Antigravity", "antigravity", {}, {}},
    {"aider", "aider", {}, {}},
    {"DeepSeek", "deepseek", {}, {}},
    // A text editor is also called amp.
    {"Amp", {}, "amp", "@sourcegraph/amp"},
    {"Kimi", "kimi", {}, {}},
    {"Mistral", "mistral", {}, {}},
    {"Grok", "grok-cli", "grok", {}},
};

// What a command line runs: the program, or the script when the program is an interpreter.
struct Program
{
    std::string name;
    std::string path;
    bool isScript = false;
};

std::optional<Program> programOf(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return std::nullopt;
    // Some programs rewrite their first argument into a status line; its first word names them.
    const std::string first = arguments.front().substr(0, arguments.front().find(' '));
    Program program{ProgramName::baseName(first), first, false};
    if (!ProgramName::isInterpreter(program.name))
        return program;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        // "python -m aider": the module is the program.
        if (argument == "-m" && index + 1 < arguments.size()) {
            const std::string& module = arguments[index + 1];
            return Program{module.substr(0, module.find('.')), {}, true};
        }
        // Code given inline names no script.
        if (argument == "-c" || argument == "-e")
            return std::nullopt;
        // Interpreter options, and the variables env sets before the program.
        if (argument.starts_with('-') || (program.name == "env" && argument.find('=') != std::string::npos))
            continue;
        return Program{ProgramName::baseName(argument), argument, true};
    }
    return program;
}

} // namespace

std::optional<std::string> FallbackDetector::brand(const std::vector<std::string>& arguments)
{
    const auto program = programOf(arguments);
    if (!program || program->name.empty())
        return std::nullopt;
    for (const KnownAgent& agent : kKnownAgents) {
        if (program->name == agent.program || (program->isScript && program->name == agent.script))
            return std::string(agent.brand);
        if (program->isScript && !agent.package.empty() &&
            program->path.find("/node_modules/" + std::string(agent.package) + "/") != std::string::npos)
            return std::string(agent.brand);
    }
    return std::nullopt;
}

std::vector<FallbackDetector::DetectedProcess> FallbackDetector::scanProcesses(const ProcessTable& table)
{
    std::vector<DetectedProcess> found;
    std::set<std::string> terminals;
    for (const pid_t pid : table.pids()) {
        const auto arguments = table.commandLine(pid);
        if (!arguments)
            continue;
        auto agent = brand(*arguments);
        if (!agent)
            continue;
        auto tty = table.terminal(pid);
        // The first agent listed on a terminal stands for it.
        if (!tty || !terminals.insert(*tty).second)
            continue;
        found.push_back(DetectedProcess{pid, std::move(*tty), std::move(*agent), std::nullopt});
    }
    return found;
}

void FallbackDetector::describe(std::vector<DetectedProcess>& processes,
                                const std::set<std::string>& knownTerminals, const ProcessTable& table,
                                const TerminalBinder* binder)
{
    for (DetectedProcess& process : processes) {
        if (knownTerminals.contains(process.tty))
            continue;
        Details details;
        details.cwd = table.workingDirectory(process.pid).value_or("unknown");
        if (binder)
            details.app = binder->resolveApp(process.pid);
        process.details = std::move(details);
    }
}

} // namespace velquist
