#include "App/UnixSignalWatcher.h"
#include "Core/LegacySupportMigration.h"
#include "Shared/AppPaths.h"
#include "Shared/FileUtil.h"
#include "Shared/Log.h"

#include <QApplication>
#include <csignal>

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velquist"));
    QApplication::setQuitOnLastWindowClosed(false);

    velquist::UnixSignalWatcher signals({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&signals, &velquist::UnixSignalWatcher::received, &app, [](int) { QApplication::quit(); });

    using namespace velquist;
    LegacySupportMigration::run(LegacySupportMigration::legacyDirectory(), AppPaths::appSupport());
    if (auto created = FileUtil::ensurePrivateDirectory(AppPaths::appSupport()); !created)
        Log::debug("store", created.error);

    return QApplication::exec();
}
