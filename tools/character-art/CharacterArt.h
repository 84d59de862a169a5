#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace velquist::art {

// One sprite sheet of the default pack: a horizontal strip of kFrameSide-square frames.
struct Sheet
{
    QString file;
    QImage image;
};

inline constexpr int kFrameSide = 32;

// Every sheet of the default pack, drawn from code; the same pixels on every run.
std::vector<Sheet> drawDefaultPack();

// The pack's manifest, naming the sheets above.
QByteArray defaultManifest();

} // namespace velquist::art
