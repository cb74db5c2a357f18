#include "CSimBoardBackend.h"

#include "TQ8_64.h"

namespace tq8 {

CSimBoardBackend::CSimBoardBackend(std::shared_ptr<CSimBoard> board) : m_board(std::move(board)) {}

int32_t CSimBoardBackend::ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const
{
    return m_board->ReadEeprom(first, words, count);
}

// The model is the hardware, and no driver stands between it and the library:
// both sources are the model's own registers, which the library's getters
// already read, so there is nothing stale to replace.
int32_t CSimBoardBackend::RefreshRegisterCache(bool fromHardware)
{
    (void)fromHardware;
    return TQ8_OK;
}

int32_t CSimBoardBackend::Set(SettingId id, double value) { return m_board->Set(id, value); }
double CSimBoardBackend::Get(SettingId id) const { return m_board->Get(id); }
int32_t CSimBoardBackend::SetExtDividers(int32_t d1, int32_t d2) { return m_board->SetExtDividers(d1, d2); }
int32_t CSimBoardBackend::SetMemoryRegion(uint32_t count, uint32_t start)
{
    return m_board->SetMemoryRegion(count, start);
}
int32_t CSimBoardBackend::SetProcessingParam(uint16_t index, uint16_t value)
{
    return m_board->SetProcessingParam(index, value);
}
int32_t CSimBoardBackend::LoadFir(FirBank bank, const int16_t* taps, size_t count)
{
    return m_board->LoadFir(bank, taps, count);
}
CBoardSettings CSimBoardBackend::Settings() const { return m_board->Settings(); }
int32_t CSimBoardBackend::ApplySettings(const CBoardSettings& settings) { return m_board->ApplySettings(settings); }
void CSimBoardBackend::SetDefaults() { m_board->SetDefaults(); }
// The model has no separate hardware copy of its settings to refresh.
int32_t CSimBoardBackend::RewriteSettings() { return TQ8_OK; }
int32_t CSimBoardBackend::CenterSignal(int channel, int target) { return m_board->CenterSignal(channel, target); }

int32_t CSimBoardBackend::Acquire(AcqTarget target, uint32_t start, uint32_t count, const std::atomic<bool>* closed)
{
    return m_board->Acquire(target, start, count, std::nullopt, closed);
}
void CSimBoardBackend::WakeWaiters() { m_board->WakeWaiters(); }
uint64_t CSimBoardBackend::StandbyEpoch() const { return m_board->StandbyEpoch(); }
int32_t CSimBoardBackend::AcquireInEpoch(AcqTarget target, uint32_t start, uint32_t count, uint64_t epoch)
{
    return m_board->Acquire(target, start, count, epoch);
}
int32_t CSimBoardBackend::StreamInEpoch(uint32_t count, uint64_t epoch, uint8_t* dst)
{
    return m_board->Acquire(AcqTarget::Ram, 0, count, epoch, nullptr, dst);
}
int32_t CSimBoardBackend::SetMode(int mode) { return m_board->SetMode(mode); }
int CSimBoardBackend::Mode() const { return m_board->Mode(); }
void CSimBoardBackend::SoftwareTrigger() { m_board->SoftwareTrigger(); }
bool CSimBoardBackend::IsIdle() const { return m_board->IsIdle(); }
bool CSimBoardBackend::SamplesComplete() const { return m_board->SamplesComplete(); }
bool CSimBoardBackend::FifoFull() const { return m_board->FifoFull(); }
int32_t CSimBoardBackend::SyncClocks(bool resetClockModules) { return m_board->SyncClocks(resetClockModules); }
int32_t CSimBoardBackend::CalibrateAdc(int adc) { return m_board->CalibrateAdc(adc); }
DriverCounters CSimBoardBackend::ReadDriverStats(bool reset) { return m_board->ReadDriverStats(reset); }

int32_t CSimBoardBackend::ReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    return m_board->ReadRam(first, count, dst);
}
int32_t CSimBoardBackend::StartReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    return m_board->StartReadRam(first, count, dst);
}
int32_t CSimBoardBackend::StartPciAcquisition(uint32_t bytes, uint8_t* dst)
{
    return m_board->StartPciAcquisition(bytes, dst);
}
int32_t CSimBoardBackend::WaitTransfer(uint32_t timeoutMs) { return m_board->WaitTransfer(timeoutMs); }
uint32_t CSimBoardBackend::RamSize() const { return m_board->RamSize(); }

uint32_t CSimBoardBackend::TimestampDepth() const { return m_board->TimestampDepth(); }
uint32_t CSimBoardBackend::TimestampsAvailable() const { return m_board->TimestampsAvailable(); }
bool CSimBoardBackend::TimestampOverflow() const { return m_board->TimestampOverflow(); }

uint64_t CSimBoardBackend::TimestampsDropped() const { return m_board->TimestampsDropped(); }
int32_t CSimBoardBackend::ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow)
{
    return m_board->ReadTimestamps(dst, max, count, evenAfterOverflow);
}
void CSimBoardBackend::ResetTimestampFifo() { m_board->ResetTimestampFifo(); }
void CSimBoardBackend::ResetTimestampCounter() { m_board->ResetTimestampCounter(); }

} // namespace tq8
