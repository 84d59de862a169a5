#pragma once

#include "Platform/UrlOpener.h"

#include <QDBusConnection>
#include <QUrl>
#include <functional>

namespace velquist {

// Opens URLs through the desktop portal's OpenURI, which every portal-speaking desktop serves and
// which needs no helper program; where no portal answers, through Qt's own desktop services. A
// URL neither takes is reported unopened, with a trace saying why.
class DesktopUrlOpener final : public UrlOpener
{
  public:
    // Opens a URL without the portal, on the main thread; true when the desktop took it.
    using Fallback = std::function<bool(const QUrl&)>;

    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.OpenURI";

    // `fallback` unset: `QDesktopServices::openUrl`.
    explicit DesktopUrlOpener(QDBusConnection bus = QDBusConnection::sessionBus(), Fallback fallback = {});

    bool canOpenUrls() const override;
    void open(const std::string& url, QObject* context, std::function<void(bool)> done) override;

  private:
    QDBusConnection m_bus;
    Fallback m_fallback;
};

} // namespace velquist
