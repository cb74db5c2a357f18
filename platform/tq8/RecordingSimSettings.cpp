#include "RecordingSimSettings.h"

#include <mutex>

namespace tq8 {

namespace {
std::mutex g_mutex;
RecordingSimSettings g_settings;
} // namespace

RecordingSimSettings RecordingSimSettings::Get()
{
    std::lock_guard lock(g_mutex);
    return g_settings;
}

void RecordingSimSettings::Set(const RecordingSimSettings& settings)
{
    std::lock_guard lock(g_mutex);
    g_settings = settings;
}

} // namespace tq8
