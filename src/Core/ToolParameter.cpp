#include "Core/ToolParameter.h"

#include "Core/NaturalOrder.h"
#include "Core/ToolText.h"
#include "Shared/Json.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace velquist {

namespace {

constexpr std::size_t kMaxRows = 8;
constexpr std::size_t kKeyCharacters = 20;
constexpr std::size_t kValueCharacters = 200;
// Compact text of a list or object is written only this far: enough for the shown 200 characters,
// and a huge or deeply nested value is never walked whole.
constexpr std::size_t kCompactBudget = 64 * 1024;
const std::string kEllipsis = "\u2026";

// A key prepared for natural ordering: case folded, as UTF-16 units.
struct SortKey
{
    QString folded;
    const std::string* key;
};

bool hasText(const nlohmann::json& value)
{
    if (value.is_null() || value.is_discarded())
        return false;
    if (value.is_string())
        return !value.get_ref<const std::string&>().empty();
    return true;
}

std::string numberText(const nlohmann::json& value)
{
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.0e15)
            return std::to_string(static_cast<std::int64_t>(number));
    }
    return Json::dump(value);
}

// Compact JSON of a list or object, keys sorted, no white space, "/" written as "\/", produced
// without recursion and stopped once `budget` bytes are written. `cut` tells whether it stopped.
std::string compactText(const nlohmann::json& root, std::size_t budget, bool& cut)
{
    struct Frame
    {
        const nlohmann::json* container;
        nlohmann::json::const_iterator next;
        bool first;
    };
    std::string out;
    cut = false;

    auto writeScalar = [&](const nlohmann::json& value) {
        if (value.is_string()) {
            const std::string& text = value.get_ref<const std::string&>();
            const std::size_t room = budget > out.size() ? budget - out.size() : 0;
            if (text.size() > room) {
                std::size_t length = room;
                while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
                    --length;
                std::string dumped = Json::dump(nlohmann::json(text.substr(0, length)));
                dumped.pop_back(); // the closing quote: the string goes on beyond the cut
                out += dumped;
                cut = true;
                return;
            }
            out += Json::dump(value);
        } else {
            out += Json::dump(value);
        }
    };

    std::vector<Frame> stack;
    auto open = [&](const nlohmann::json& value) {
        if (value.is_object() || value.is_array()) {
            out.push_back(value.is_object() ? '{' : '[');
            stack.push_back(Frame{&value, value.cbegin(), true});
        } else {
            writeScalar(value);
        }
    };

    open(root);
    while (!stack.empty() && !cut) {
        if (out.size() >= budget) {
            cut = true;
            break;
        }
        Frame& frame = stack.back();
        if (frame.next == frame.container->cend()) {
            out.push_back(frame.container->is_object() ? '}' : ']');
            stack.pop_back();
            continue;
        }
        if (!frame.first)
            out.push_back(',');
        frame.first = false;
        const auto current = frame.next++;
        if (frame.container->is_object()) {
            out += Json::dump(nlohmann::json(current.key()));
            out.push_back(':');
        }
        open(*current); // may grow the stack: `frame` is not used after this
    }

    std::string escaped;
    escaped.reserve(out.size() + out.size() / 16);
    for (const char c : out) {
        if (c == '/')
            escaped += "\\/";
        else
            escaped.push_back(c);
    }
    return escaped;
}

// The shown text of one value, already cut to the row's bound.
std::string shownValue(const nlohmann::json& value)
{
    if (value.is_string())
        return ToolText::truncated(ToolText::oneLine(value.get_ref<const std::string&>()), kValueCharacters,
                                   kValueCharacters, kEllipsis);
    if (value.is_boolean())
        return value.get<bool>() ? "true" : "false";
    if (value.is_number())
        return ToolText::truncated(numberText(value), kValueCharacters, kValueCharacters, kEllipsis);
    bool cut = false;
    const std::string text = compactText(value, kCompactBudget, cut);
    std::string shown = ToolText::truncated(text, kValueCharacters, kValueCharacters, kEllipsis);
    if (cut && !shown.ends_with(kEllipsis))
        shown += kEllipsis;
    return shown;
}

} // namespace

std::vector<ToolParameter> ToolParameter::flatten(const nlohmann::json& input)
{
    std::vector<ToolParameter> rows;
    if (!input.is_object())
        return rows;

    std::vector<SortKey> keys;
    keys.reserve(input.size());
    for (auto it = input.cbegin(); it != input.cend(); ++it) {
        if (hasText(*it))
            keys.push_back(SortKey{QString::fromStdString(it.key()).toCaseFolded(), &it.key()});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const SortKey& a, const SortKey& b) {
        return naturalCompare(a.folded, b.folded) < 0;
    });

    const std::size_t shown = keys.size() > kMaxRows ? kMaxRows : keys.size();
    rows.reserve(shown + 1);
    for (std::size_t i = 0; i < shown; ++i) {
        const std::string& key = *keys[i].key;
        rows.push_back(ToolParameter{ToolText::truncated(key, kKeyCharacters, kKeyCharacters, kEllipsis),
                                     shownValue(input.at(key))});
    }
    if (keys.size() > kMaxRows)
        rows.push_back(ToolParameter{"", kEllipsis + " " + std::to_string(keys.size() - kMaxRows) + " more"});
    return rows;
}

nlohmann::ordered_json ToolParameter::toJson() const
{
    return nlohmann::ordered_json{{"key", key}, {"value", value}};
}

Decoded<ToolParameter> ToolParameter::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<ToolParameter>([&] {
        const StoredForm::Reader reader(json, {});
        return ToolParameter{reader.string("key"), reader.string("value")};
    });
}

} // namespace velquist
