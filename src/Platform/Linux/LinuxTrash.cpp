#include "Platform/Linux/LinuxTrash.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <algorithm>

namespace velquist {

namespace {

QString toQString(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace

LinuxTrash::LinuxTrash(std::vector<std::filesystem::path> ownFiles) : m_ownFiles(std::move(ownFiles))
{
    for (auto& file : m_ownFiles)
        file = file.lexically_normal();
}

FileResult LinuxTrash::moveToTrash(const std::filesystem::path& path)
{
    const auto normal = path.lexically_normal();
    if (std::find(m_ownFiles.begin(), m_ownFiles.end(), normal) == m_ownFiles.end())
        return {"refusing to move " + path.string() +
                " to the trash: it is not one of the application's files"};
    QFile file(toQString(normal));
    if (!file.moveToTrash())
        return {file.errorString().toStdString()};
    return {};
}

bool LinuxTrash::reveal(const std::filesystem::path& path)
{
    auto call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(toQString(path)).toString()} << QString();
    const auto reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    // Without a file manager service, the folder itself still lets the user find the file.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(toQString(path.parent_path())));
}

} // namespace velquist
