#include "Ingestion/FastJson.h"

namespace velquist::FastJson {

namespace {

enum class Outcome { Parsed, Refused, Unsupported };

// One parser per thread, kept between lines so its buffers are reused; they grow to the longest
// line read, which the tailer bounds.
Outcome parseInto(std::string_view text, int depthLimit, simdjson::dom::element& root)
{
    thread_local simdjson::dom::parser parser;
    thread_local int allocatedDepth = 0;
    if (allocatedDepth != depthLimit) {
        if (parser.allocate(std::max<std::size_t>(text.size(), 4096), static_cast<std::size_t>(depthLimit)) !=
            simdjson::SUCCESS)
            return Outcome::Unsupported;
        allocatedDepth = depthLimit;
    }
    const auto error = parser.parse(text.data(), text.size(), true).get(root);
    if (error == simdjson::NUMBER_ERROR || error == simdjson::CAPACITY || error == simdjson::MEMALLOC)
        return Outcome::Unsupported;
    return error ? Outcome::Refused : Outcome::Parsed;
}

} // namespace

nlohmann::json tree(simdjson::dom::element element)
{
    using Type = simdjson::dom::element_type;
    switch (element.type()) {
    case Type::OBJECT: {
        nlohmann::json object = nlohmann::json::object();
        for (auto field : simdjson::dom::object(element))
            object[std::string(field.key)] = tree(field.value);
        return object;
    }
    case Type::ARRAY: {
        nlohmann::json array = nlohmann::json::array();
        for (auto item : simdjson::dom::array(element))
            array.push_back(tree(item));
        return array;
    }
    case Type::STRING:
        return std::string(std::string_view(element));
    case Type::INT64:
        return std::int64_t(element);
    case Type::UINT64:
        return std::uint64_t(element);
    case Type::DOUBLE:
        return double(element);
    case Type::BOOL:
        return bool(element);
    case Type::NULL_VALUE:
        return nullptr;
    }
    return nullptr;
}

std::optional<nlohmann::json> parse(std::string_view text, int depthLimit)
{
    simdjson::dom::element root;
    switch (parseInto(text, depthLimit, root)) {
    case Outcome::Parsed:
        return tree(root);
    case Outcome::Refused:
        return std::nullopt;
    case Outcome::Unsupported:
        break;
    }
    return Json::parse(text, depthLimit);
}

std::optional<simdjson::dom::element> document(std::string_view text, int depthLimit)
{
    simdjson::dom::element root;
    switch (parseInto(text, depthLimit, root)) {
    case Outcome::Parsed:
        return root;
    case Outcome::Refused:
        return std::nullopt;
    case Outcome::Unsupported:
        break;
    }
    // Rare: the ordinary parser reads the text, and its tree, whose numbers all fit, is read again.
    const auto value = Json::parse(text, depthLimit);
    if (!value)
        return std::nullopt;
    if (parseInto(Json::dump(*value), depthLimit, root) != Outcome::Parsed)
        return std::nullopt;
    return root;
}

} // namespace velquist::FastJson
