#include "RenderRegistry.h"

#include <stdexcept>

namespace velquist::render {

std::vector<Registered>& registry()
{
    static std::vector<Registered> views;
    return views;
}

RenderRegistration::RenderRegistration(const QString& view, RenderFunction render)
{
    registry().push_back({view, std::move(render)});
}

const Session& RenderContext::find(const std::string& idPrefix) const
{
    for (const Session& session : sessions)
        if (session.id.starts_with(idPrefix))
            return session;
    throw std::runtime_error("no demonstration session starts with " + idPrefix);
}

} // namespace velquist::render
