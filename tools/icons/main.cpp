// Draws the application's icons from the logo mark into an icon theme folder (hicolor layout):
// the application icon at each size, the status icon in light and dark, and the mark as a
// symbolic SVG the desktop tints itself. Runs without a display.

#include "Characters/VelquistMark.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

using namespace velquist;

namespace {

bool save(const QImage& image, const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !image.save(path)) {
        std::fprintf(stderr, "velquist-icons: could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QString symbolicSvg()
{
    QString rects;
    for (const QRectF& r : VelquistMark::placedRects(QRectF(1, 2, 14, 12)))
        rects += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"/>\n")
                     .arg(r.x())
                     .arg(r.y())
                     .arg(r.width())
                     .arg(r.height());
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" "
                          "viewBox=\"0 0 16 16\">\n <g fill=\"#2e3436\">\n%1 </g>\n</svg>\n")
        .arg(rects);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velquist-icons <hicolor folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = root + QStringLiteral("/%1x%1/").arg(size);
        ok &= save(VelquistMark::applicationImage(size), folder + "apps/velquist.png");
        if (size <= 64) {
            ok &=
                save(VelquistMark::statusImage(size, Qt::white), folder + "status/velquist-status-light.png");
            ok &=
                save(VelquistMark::statusImage(size, Qt::black), folder + "status/velquist-status-dark.png");
        }
    }
    const QString svgPath = root + "/scalable/status/velquist-status-symbolic.svg";
    QDir().mkpath(QFileInfo(svgPath).absolutePath());
    QFile svg(svgPath);
    ok &= svg.open(QIODevice::WriteOnly | QIODevice::Truncate) && svg.write(symbolicSvg().toUtf8()) > 0;
    return ok ? 0 : 1;
}
