#include "CMultiModeLog.h"

#include <filesystem>
#include <fstream>

#include "AtomicFile.h"
#include "RecordingTexts.h"
#include "SpecialFolders.h"

CMultiModeLog::CMultiModeLog()
{
    const std::string folder = vlt::UserDataFolder();
    if (!folder.empty())
        m_path = folder + "/" + kFileName;
}

bool CMultiModeLog::Write(uint32_t attempts, const std::string& entry) const
{
    if (m_path.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    if (attempts == 1)
        return vlt::AtomicWriteFile(m_path, rectext::LogHeader() + entry);
    std::ofstream out(m_path, std::ios::binary | std::ios::app);
    out << entry;
    return bool(out.flush());
}
