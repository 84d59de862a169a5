#include "Ingestion/FastJson.h"

#include <simdjson.h>

namespace velquist::FastJson {

namespace {

// The tree is at most `depthLimit` deep (the parser refused deeper text), so recursion is bounded.
nlohmann::json convert(simdjson::dom::element element)
{
    using Type = simdjson::dom::element_type;
    switch (element.type()) {
    case Type::OBJECT: {
        nlohmann::json object = nlohmann::json::object();
        for (auto field : simdjson::dom::object(element))
            object[std::string(field.key)] = convert(field.value);
        return object;
    }
    case Type::ARRAY: {
        nlohmann::json array = nlohmann::json::array();
        for (auto item : simdjson::dom::array(element))
            array.push_back(convert(item));
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

} // namespace

std::optional<nlohmann::json> parse(std::string_view text, int depthLimit)
{
    thread_local simdjson::dom::parser parser;
    thread_local int allocatedDepth = 0;
    if (allocatedDepth != depthLimit) {
        if (parser.allocate(std::max<std::size_t>(text.size(), 4096), static_cast<std::size_t>(depthLimit)) !=
            simdjson::SUCCESS)
            return Json::parse(text, depthLimit);
        allocatedDepth = depthLimit;
    }
    simdjson::dom::element root;
    const auto error = parser.parse(text.data(), text.size(), true).get(root);
    if (error == simdjson::NUMBER_ERROR || error == simdjson::CAPACITY || error == simdjson::MEMALLOC)
        return Json::parse(text, depthLimit);
    if (error)
        return std::nullopt;
    return convert(root);
}

} // namespace velquist::FastJson
