#include "Core/StateFile.h"

#include "Shared/AppPaths.h"
#include "Shared/FileUtil.h"
#include "Shared/Log.h"

namespace velquist {

void StateFile::write(const std::string& bytes)
{
    const auto folder = m_path.parent_path();
    if (folder == AppPaths::appSupport()) {
        FileUtil::ensurePrivateDirectory(folder);
    } else {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    if (m_keepOriginal) {
        FileUtil::moveAside(m_path);
        m_keepOriginal = false;
    }
    if (auto written = FileUtil::writeOwnFile(m_path, bytes); !written)
        Log::debug("store", written.error);
}

} // namespace velquist
