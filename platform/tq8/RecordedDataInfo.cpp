#include "RecordedDataInfo.h"

#include <cstring>

#include "ChannelSelection.h"

namespace tq8 {

void FillRecordedDataInfo(const BoardDescription& desc, const CBoardSettings& s, TQ8_RECORDED_DATA_INFO& info)
{
    const int sel = s.GetInt(SettingId::ActiveChannels);
    const int count = ChannelCount(sel);
    std::memset(&info, 0, sizeof info);
    info.size = sizeof info;
    const char* name = desc.IsTwoChannelModel() ? "TQ3300" : "TQ3300-4";
    std::strncpy(info.boardName, name, sizeof info.boardName - 1);
    info.serialNumber = desc.serial;
    info.channelCount = static_cast<uint32_t>(count);
    info.channelNumber = count == 1 ? static_cast<uint32_t>(PhysicalChannel(sel, 0) + 1) : 0xFFFFFFFFu;
    info.bytesPerSample = 1;
    info.bitsPerSample = 8;
    info.samplingRateMHz = s.EffectiveRateMHz();
    info.inputRangeVpp = s.InputRangeVpp(PhysicalChannel(sel, 0));
    info.segmentSize = s.GetInt(SettingId::TriggerMode) == 1 ? s.GetUInt(SettingId::SegmentSize) : 0;
    const uint32_t pre = s.GetUInt(SettingId::PreTriggerSamples);
    info.triggerOffset = pre != 0 ? pre : s.GetUInt(SettingId::TriggerDelaySamples);
    info.preTrigger = pre != 0 ? 1 : 0;
}

} // namespace tq8
