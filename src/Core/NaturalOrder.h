#pragma once

#include <QString>

namespace velquist {

// Orders texts the way people read numbers in them: runs of digits compare by their value
// ("item2" < "item10", "2.0.9" < "2.0.10"), everything else by UTF-16 unit. Case counts; fold
// both texts first for a case-blind order. Returns -1, 0 or 1.
int naturalCompare(const QString& a, const QString& b);

} // namespace velquist
