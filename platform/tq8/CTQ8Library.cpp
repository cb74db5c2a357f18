#include "CTQ8Library.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "AtomicFile.h"
#include "CRemoteLink.h"
#include "CRemoteRecordings.h"
#include "CSimClock.h"
#include "RecordingSimSettings.h"
#include "TQ8_64.h"

namespace tq8 {

CTQ8Library& CTQ8Library::Instance()
{
    // Never destroyed: other libraries' static destructors may still call in.
    static CTQ8Library* library = new CTQ8Library();
    return *library;
}

CBoardRegistry& CTQ8Library::Boards()
{
    std::call_once(m_configOnce, [this] { LoadEnvironmentConfig(); });
    return m_boards;
}

void CTQ8Library::LoadEnvironmentConfig()
{
    const char* path = std::getenv("TQ8_SIM_CONFIG");
    if (path == nullptr || *path == '\0')
        return;
    std::string text, reason;
    SimConfig config;
    // A broken configuration declares no boards; the library still works
    // with virtual boards, and says why on standard error.
    if (!vlt::ReadWholeFile(path, text, &reason, kMaxSimConfigBytes) || ParseSimConfig(text, config, &reason) != TQ8_OK)
        std::fprintf(stderr, "TQ8_64: TQ8_SIM_CONFIG '%s' declares no boards: %s\n", path, reason.c_str());
    else if (ApplyConfig(config) != TQ8_OK)
        std::fprintf(stderr, "TQ8_64: TQ8_SIM_CONFIG '%s' declares no boards: a board is implausible or declared twice\n",
                     path);
}

uint64_t CTQ8Library::Connect(std::shared_ptr<IBoardBackend> backend, std::shared_ptr<CRemoteLink> link)
{
    auto connection = std::make_shared<CConnection>();
    connection->backend = std::move(backend);
    connection->link = std::move(link);
    return m_handles.Add(std::move(connection));
}

bool CTQ8Library::Disconnect(uint64_t handle)
{
    const auto connection = m_handles.Find(handle);
    if (!connection || !m_handles.Remove(handle))
        return false;
    connection->closed = true;
    connection->backend->WakeWaiters();
    if (connection->link) {
        connection->link->Close(); // a call blocked on it returns at once
        CRemoteRecordings::Instance().ForgetOwnedBy(handle);
    }
    for (const auto& session : m_recordings.RemoveOwnedBy(handle))
        session->Stop();
    m_memory.FreeAllOf(handle);
    return true;
}

int32_t CTQ8Library::ApplyConfig(const SimConfig& config)
{
    std::lock_guard lock(m_configMutex);
    if (config.timeFactor && (!(*config.timeFactor > 0.0) || *config.timeFactor > 1000.0))
        return TQ8_ERR_INVALID_ARG;
    for (size_t i = 0; i < config.boards.size(); ++i) {
        const uint32_t serial = config.boards[i].desc.serial;
        if (!IsPlausible(config.boards[i].desc) || m_boards.IsDeclared(serial))
            return TQ8_ERR_INVALID_ARG;
        for (size_t j = 0; j < i; ++j)
            if (config.boards[j].desc.serial == serial)
                return TQ8_ERR_INVALID_ARG;
    }
    for (const SimBoardEntry& b : config.boards) {
        if (!m_boards.AddLocal(b.desc))
            return TQ8_ERR_DEVICE_NOT_FOUND;
        if (b.seed)
            m_boards.Model(b.desc.serial)->SetSeed(*b.seed);
    }
    for (const SimSignalEntry& s : config.signals)
        if (auto model = m_boards.Model(s.serial))
            model->SetSignal(s.channel, s.signal);
    if (config.timeFactor)
        CSimClock::SetFactor(*config.timeFactor);
    return TQ8_OK;
}

void CTQ8Library::Reset()
{
    std::call_once(m_configOnce, [] {});
    for (const auto& session : m_recordings.RemoveAll())
        session->Stop();
    for (uint64_t id : m_handles.Ids())
        Disconnect(id);
    m_boards.Clear();
    m_contextFiles.Clear();
    m_injector.Clear();
    m_reported.Clear();
    m_callbackHold.Set(false);
    CSimClock::SetFactor(1.0);
    RecordingSimSettings::Set(RecordingSimSettings{});
}

} // namespace tq8
