#include "UI/Kit/ViewClock.h"

#include "Core/SystemClock.h"

namespace velquist {

const Clock& viewClock(const Clock* given)
{
    static const SystemClock system;
    return given ? *given : system;
}

} // namespace velquist
