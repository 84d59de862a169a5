#include "Core/StateFile.h"

#include "Shared/FileUtil.h"
#include "Shared/Log.h"

namespace velquist {

void StateFile::write(const std::string& bytes)
{
    // The support folder: private before anything is written into it.
    FileUtil::ensurePrivateDirectory(m_path.parent_path());
    if (m_keepOriginal) {
        FileUtil::moveAside(m_path);
        m_keepOriginal = false;
    }
    if (auto written = FileUtil::writeOwnFile(m_path, bytes); !written)
        Log::debug("store", written.error);
}

} // namespace velquist
