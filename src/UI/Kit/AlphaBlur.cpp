#include "UI/Kit/AlphaBlur.h"

#include <algorithm>
#include <vector>

namespace velquist {

void boxBlurAlpha(QImage& image, int radius)
{
    if (radius < 1)
        return;
    const int w = image.width(), h = image.height();
    std::vector<int> line(std::size_t(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w, inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto alphaAt = [&](int i) -> uchar& {
                const int x = horizontal ? i : o, y = horizontal ? o : i;
                return reinterpret_cast<uchar*>(image.scanLine(y))[x * 4 + 3];
            };
            for (int i = 0; i < inner; ++i)
                line[std::size_t(i)] = alphaAt(i);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < inner) ? line[std::size_t(i)] : 0;
            for (int i = 0; i < inner; ++i) {
                alphaAt(i) = uchar(sum / (2 * radius + 1));
                const int leaving = i - radius, entering = i + radius + 1;
                if (leaving >= 0)
                    sum -= line[std::size_t(leaving)];
                if (entering < inner)
                    sum += line[std::size_t(entering)];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

} // namespace velquist
