#include "support/AppOnX.h"

#include "support/AppEnvironment.h"
#include "support/XServer.h"

namespace velquist::test {

AppOnX::AppOnX(const std::filesystem::path& program, const XServer& x, const std::filesystem::path& home)
{
    m_process.setProcessEnvironment(appEnvironment(home, x.display()));
    m_process.start(QString::fromStdString(program.string()), {});
}

AppOnX::~AppOnX()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10'000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

const std::string& AppOnX::errors()
{
    m_errors += m_process.readAllStandardError().toStdString();
    return m_errors;
}

} // namespace velquist::test
