#include "Core/ToolNaming.h"

#include <vector>

namespace velquist::ToolNaming {

std::string display(std::string_view tool)
{
    constexpr std::string_view mcpPrefix = "mcp__";
    if (!tool.starts_with(mcpPrefix))
        return std::string(tool);

    std::vector<std::string_view> pieces;
    std::string_view rest = tool.substr(mcpPrefix.size());
    for (;;) {
        const std::size_t split = rest.find("__");
        const std::string_view piece = rest.substr(0, split);
        if (!piece.empty())
            pieces.push_back(piece);
        if (split == std::string_view::npos)
            break;
        rest.remove_prefix(split + 2);
    }
    if (pieces.empty())
        return std::string(tool);

    std::string server(pieces.front());
    constexpr std::string_view hostedPrefix = "claude_ai_";
    if (server.starts_with(hostedPrefix))
        server.erase(0, hostedPrefix.size());

    std::string name;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (!name.empty())
            name.push_back(' ');
        name.append(pieces[i]);
    }
    for (char& c : name) {
        if (c == '_')
            c = ' ';
    }
    if (name.empty())
        return server;
    return server + " \u00B7 " + name;
}

} // namespace velquist::ToolNaming
