#include "Platform/Linux/XdgUrlOpener.h"

#include "Platform/ProcessRunner.h"

#include <unistd.h>

namespace velquist {

XdgUrlOpener::XdgUrlOpener(ProcessRunner& runner, std::string executable)
    : m_runner(runner), m_executable(std::move(executable))
{
}

bool XdgUrlOpener::canOpenUrls() const
{
    return ::access(m_executable.c_str(), X_OK) == 0;
}

void XdgUrlOpener::open(const std::string& url, QObject* context, std::function<void(bool)> done)
{
    // "--" would be taken as a URL by some versions; a URL never begins with "-" here, since every
    // caller's URL begins with a scheme.
    if (url.empty() || url.front() == '-') {
        done(false);
        return;
    }
    m_runner.runAsync({m_executable, {url}, std::chrono::seconds(10)}, context,
                      [done = std::move(done)](ProcessResult result) { done(result.succeeded()); });
}

} // namespace velquist
