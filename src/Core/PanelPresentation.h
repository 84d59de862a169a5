#pragma once

#include <string_view>

namespace velquist {

// What a notch panel shows: the bar alone, a short peek, or the full list.
enum class PanelPresentation { collapsed, peeking, expanded };

constexpr std::string_view toString(PanelPresentation presentation)
{
    switch (presentation) {
    case PanelPresentation::collapsed:
        return "collapsed";
    case PanelPresentation::peeking:
        return "peeking";
    case PanelPresentation::expanded:
        return "expanded";
    }
    return "collapsed";
}

} // namespace velquist
