#include "Terminal/WarpStrategy.h"

#include "Core/Session.h"
#include "Platform/UrlOpener.h"

#include <QUrl>

namespace velquist {

WarpStrategy::WarpStrategy(TerminalTools tools) : m_tools(std::move(tools)) {}

void WarpStrategy::focus(const Session& session, const RunningApp&, QObject* context, Done done)
{
    const auto found = session.terminal.env.find("WARP_FOCUS_URL");
    if (found == session.terminal.env.end()) {
        done(false);
        return;
    }
    const QUrl url(QString::fromStdString(found->second), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != QLatin1String("warp")) {
        done(false);
        return;
    }
    m_tools.urls.open(found->second, context, std::move(done));
}

} // namespace velquist
