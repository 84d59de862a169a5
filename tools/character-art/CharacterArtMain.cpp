// Writes the default character pack into the folder given as the only argument.

#include "CharacterArt.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <pack folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (const auto& sheet : velquist::art::drawDefaultPack()) {
        QImageWriter writer(folder + "/" + sheet.file, "png");
        if (!writer.write(sheet.image)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(sheet.file),
                         qPrintable(writer.errorString()));
            return 1;
        }
    }
    QFile manifest(folder + "/manifest.json");
    if (!manifest.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        manifest.write(velquist::art::defaultManifest()) < 0) {
        std::fprintf(stderr, "cannot write the manifest\n");
        return 1;
    }
    return 0;
}
