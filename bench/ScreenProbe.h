#pragma once

// Whether the panel's sheet shows at a point of the screen, read back from the display by a child
// of the benchmark: the same program started again with "--probe [label]", so the measured
// application's process stays alone with its own connection.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QScreen>
#include <QSize>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velquist::bench {

// The child's side: prints "dark" or "light" for the pixel at `probe` of the top half of a screen
// of `screen` size (the display runs with a white root, the sheet is dark). When
// VELQUIST_BENCH_SHOTS names a folder, the picture read is saved there as <label>.png for a look at
// what was measured.
inline int screenProbeMain(int argc, char** argv, QSize screen, QPoint probe)
{
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    QGuiApplication app(argc, argv);
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return 1;
    const QImage top = primary->grabWindow(0, 0, 0, screen.width(), screen.height() / 2).toImage();
    if (top.isNull())
        return 1;
    if (const char* shots = std::getenv("VELQUIST_BENCH_SHOTS"))
        top.save(QString("%1/%2.png").arg(QString::fromLocal8Bit(shots)).arg(argc > 2 ? argv[2] : "probe"));
    std::printf("%s\n", qGray(top.pixel(probe)) < 64 ? "dark" : "light");
    return 0;
}

} // namespace velquist::bench
