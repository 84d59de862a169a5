#include "Shared/JsonRewrite.h"

#include "Shared/JsonScan.h"

#include <optional>
#include <set>
#include <vector>

namespace velquist::JsonRewrite {

using ordered_json = nlohmann::ordered_json;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlank = " \t\r\n";

// The text of one member of an object, or one element of an array, as it stands in the file.
struct Child
{
    std::string_view key; // the key's string token; empty for an array element
    std::string_view value;
};

// How one object or array lays out its children, read from its own text, so that a container
// written inline inside an indented file stays inline.
struct Layout
{
    bool compact = false;
    std::string childIndent;         // before each child of an indented container
    std::string closeIndent;         // before its closing bracket
    std::string keySeparator = ": "; // between a key and its value
    std::string itemSeparator = ","; // between the children of a compact container
};

// What holds for the whole file.
struct FileStyle
{
    std::string unit = "  ";    // one level of indentation
    std::string newline = "\n"; // "\r\n" for a CR LF file
};

std::string dumpValue(const ordered_json& value, int indent, char indentChar)
{
    return value.dump(indent, indentChar, false, ordered_json::error_handler_t::replace);
}

std::string_view between(const char* from, const char* to)
{
    return {from, static_cast<std::size_t>(to - from)};
}

const char* endOf(std::string_view text)
{
    return text.data() + text.size();
}

// The elements of an array's text ("[" to "]"), which a scan has already found well formed.
std::vector<Child> elementsOf(std::string_view array)
{
    std::vector<Child> elements;
    std::size_t i = 1;
    const std::size_t last = array.size() - 1; // the closing bracket
    while (true) {
        i = array.find_first_not_of(kBlank, i);
        if (i == std::string_view::npos || i >= last)
            break;
        const std::size_t start = i;
        int depth = 0;
        bool inString = false;
        for (; i < last; ++i) {
            const char c = array[i];
            if (inString) {
                if (c == '\\')
                    ++i;
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '[' || c == '{') {
                ++depth;
            } else if (c == ']' || c == '}') {
                --depth;
            } else if (c == ',' && depth == 0) {
                break;
            }
        }
        std::string_view element = array.substr(start, i - start);
        element.remove_suffix(element.size() - (element.find_last_not_of(kBlank) + 1));
        elements.push_back({{}, element});
        ++i; // past the comma
    }
    return elements;
}

bool hasDuplicateKeys(const JsonObjectScan& scan)
{
    std::set<std::string_view> seen;
    for (const JsonMember& member : scan.members) {
        if (!seen.insert(member.key).second)
            return true;
    }
    return false;
}

std::optional<std::vector<Child>> membersOf(std::string_view object)
{
    const auto scan = JsonScan::scanObject(object);
    if (!scan || !scan->clean || hasDuplicateKeys(*scan) || scan->object.data() != object.data())
        return std::nullopt;
    std::vector<Child> members;
    for (const JsonMember& member : scan->members)
        members.push_back({member.key, member.value});
    return members;
}

Layout layoutOf(std::string_view text, const std::vector<Child>& children, const Layout& parent,
                const FileStyle& file)
{
    Layout layout;
    const bool inline_ = text.find('\n') == std::string_view::npos;
    if (children.empty()) {
        // Nothing to learn from: children added here follow the container around it.
        layout.compact = parent.compact;
        layout.childIndent = parent.childIndent + file.unit;
        layout.closeIndent = parent.childIndent;
        layout.keySeparator = parent.keySeparator;
        layout.itemSeparator = parent.itemSeparator;
        // An empty top-level object of a new-looking file is indented.
        if (inline_ && parent.childIndent.empty() && parent.closeIndent.empty() && !parent.compact)
            layout.compact = false;
        return layout;
    }
    const Child& first = children.front();
    const std::string_view head = first.key.empty() ? first.value : first.key;
    if (!first.key.empty())
        layout.keySeparator = std::string(between(endOf(first.key), first.value.data()));
    layout.compact = inline_;
    if (layout.compact) {
        if (children.size() > 1) {
            const Child& second = children[1];
            const std::string_view next = second.key.empty() ? second.value : second.key;
            layout.itemSeparator = std::string(between(endOf(first.value), next.data()));
        }
        return layout;
    }
    const std::string_view before = between(text.data(), head.data());
    layout.childIndent = std::string(before.substr(before.rfind('\n') + 1));
    const std::size_t closeLine = text.rfind('\n');
    layout.closeIndent = std::string(text.substr(closeLine + 1, text.size() - closeLine - 2));
    return layout;
}

std::string replaceNewlines(std::string_view text, const std::string& replacement)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == '\n')
            result += replacement;
        else
            result += c;
    }
    return result;
}

// A value written anew as a child of a container with `layout`.
std::string writeValue(const ordered_json& value, const Layout& layout, const FileStyle& file)
{
    if (layout.compact)
        return dumpValue(value, -1, ' ');
    const std::string text = dumpValue(value, static_cast<int>(file.unit.size()), file.unit.front());
    return replaceNewlines(text, file.newline + layout.childIndent);
}

std::string writeKey(const std::string& key)
{
    return dumpValue(ordered_json(key), -1, ' ');
}

std::string join(char open, const std::vector<std::string>& pieces, char close, const Layout& layout,
                 const FileStyle& file)
{
    if (pieces.empty())
        return {open, close};
    std::string text(1, open);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (layout.compact) {
            if (i > 0)
                text += layout.itemSeparator;
        } else {
            if (i > 0)
                text += ',';
            text += file.newline + layout.childIndent;
        }
        text += pieces[i];
    }
    if (!layout.compact)
        text += file.newline + layout.closeIndent;
    return text + close;
}

std::string spliceValue(std::string_view text, const ordered_json& before, const ordered_json& after,
                        const Layout& parent, const FileStyle& file);

std::string spliceObject(std::string_view text, const ordered_json& before, const ordered_json& after,
                         const Layout& parent, const FileStyle& file)
{
    const auto members = membersOf(text);
    if (!members)
        return writeValue(after, parent, file);
    const Layout layout = layoutOf(text, *members, parent, file);
    std::vector<std::string> pieces;
    for (const auto& [key, value] : after.items()) {
        const Child* original = nullptr;
        for (const Child& member : *members) {
            if (JsonScan::stringValue(member.key) == key) {
                original = &member;
                break;
            }
        }
        const auto previous = before.find(key);
        if (original && previous != before.end()) {
            pieces.push_back(std::string(between(original->key.data(), original->value.data())) +
                             spliceValue(original->value, *previous, value, layout, file));
            continue;
        }
        pieces.push_back(writeKey(key) + layout.keySeparator + writeValue(value, layout, file));
    }
    return join('{', pieces, '}', layout, file);
}

std::string spliceArray(std::string_view text, const ordered_json& before, const ordered_json& after,
                        const Layout& parent, const FileStyle& file)
{
    const std::vector<Child> elements = elementsOf(text);
    if (elements.size() != before.size())
        return writeValue(after, parent, file);
    const Layout layout = layoutOf(text, elements, parent, file);
    std::vector<std::string> pieces;
    std::size_t cursor = 0;
    for (const ordered_json& value : after) {
        // The next original element equal to this one keeps its text; otherwise the element at
        // the same place is edited in place.
        std::size_t found = cursor;
        while (found < elements.size() && before[found] != value)
            ++found;
        if (found < elements.size()) {
            pieces.emplace_back(elements[found].value);
            cursor = found + 1;
        } else if (cursor < elements.size() && before[cursor].type() == value.type() &&
                   (value.is_object() || value.is_array())) {
            pieces.push_back(spliceValue(elements[cursor].value, before[cursor], value, layout, file));
            ++cursor;
        } else {
            pieces.push_back(writeValue(value, layout, file));
        }
    }
    return join('[', pieces, ']', layout, file);
}

std::string spliceValue(std::string_view text, const ordered_json& before, const ordered_json& after,
                        const Layout& parent, const FileStyle& file)
{
    if (before == after)
        return std::string(text);
    if (before.is_object() && after.is_object() && text.starts_with('{'))
        return spliceObject(text, before, after, parent, file);
    if (before.is_array() && after.is_array() && text.starts_with('['))
        return spliceArray(text, before, after, parent, file);
    return writeValue(after, parent, file);
}

} // namespace

std::string fresh(const ordered_json& value)
{
    return dumpValue(value, 2, ' ') + "\n";
}

std::string rewrite(std::string_view previous, const ordered_json& before, const ordered_json& after)
{
    std::string bom;
    std::string_view text = previous;
    if (text.starts_with(kByteOrderMark)) {
        bom = std::string(kByteOrderMark);
        text.remove_prefix(kByteOrderMark.size());
    }
    FileStyle file;
    if (text.find("\r\n") != std::string_view::npos)
        file.newline = "\r\n";
    const std::size_t start = text.find_first_not_of(kBlank);
    const std::size_t end = text.find_last_not_of(kBlank);
    const auto members =
        start == std::string_view::npos ? std::nullopt : membersOf(text.substr(start, end - start + 1));
    if (!members || !before.is_object() || !after.is_object()) {
        // Not a text we can splice: the whole object is written in the two-space style, keeping
        // a final line break.
        const std::string body = replaceNewlines(dumpValue(after, 2, ' '), file.newline);
        return bom + body + (text.ends_with('\n') ? file.newline : std::string());
    }
    const std::string_view object = text.substr(start, end - start + 1);
    // The top level decides the unit of indentation for everything written anew.
    const Layout top = layoutOf(object, *members, Layout{}, file);
    if (!top.compact && !top.childIndent.empty() &&
        top.childIndent.find_first_not_of(top.childIndent.front()) == std::string::npos)
        file.unit = top.childIndent;
    return bom + std::string(text.substr(0, start)) + spliceObject(object, before, after, Layout{}, file) +
           std::string(text.substr(end + 1));
}

} // namespace velquist::JsonRewrite
