#pragma once
// Names and defaults of the items of the options file. Defaults that depend
// on the running system (WsNewType, WsNewSyncDevs, WsNewVirtSync) are worked
// out by their readers.
#include <cstdint>

namespace opts {

// Application flags: only these bits are kept.
constexpr uint32_t kAppFlagMastersControlSlaves = 0x1;
constexpr uint32_t kAppFlagSyncControlledPlots = 0x2;
constexpr uint32_t kAppFlagNoPromptUnnamedWs = 0x4;
constexpr uint32_t kAppFlagsStored = 0x7;

constexpr wchar_t kAppFlags[] = L"AppFlags";
constexpr uint32_t kAppFlagsDefault = 1;
constexpr wchar_t kAppStartupType[] = L"AppStartupType";
constexpr int32_t kAppStartupTypeDefault = 0;
constexpr wchar_t kAppLastWs[] = L"AppLastWs";

constexpr wchar_t kPlotAxisX[] = L"PlotAxisX";
constexpr wchar_t kPlotAxisY[] = L"PlotAxisY";
constexpr wchar_t kPlotSampTips[] = L"PlotSampTips";
constexpr wchar_t kPlotHexAdcVal[] = L"PlotHexAdcVal";
constexpr int32_t kPlotDefault = 0;

constexpr wchar_t kWsNewType[] = L"WsNewType";
constexpr wchar_t kWsNewSyncDevs[] = L"WsNewSyncDevs";
constexpr wchar_t kWsNewVirtSync[] = L"WsNewVirtSync";
constexpr wchar_t kWsNewSpud[] = L"WsNewSpud";
constexpr int32_t kWsNewSpudDefault = 0;
constexpr wchar_t kWsNewSrvAddr[] = L"WsNewSrvAddr";
constexpr wchar_t kWsNewWsPath[] = L"WsNewWsPath";

constexpr wchar_t kDefaultRecFilesDir[] = L"DefaultRecFilesDir";
constexpr wchar_t kRpmFlags[] = L"RpmFlags";
constexpr uint32_t kRpmFlagsDefault = 0;
constexpr wchar_t kRpmRecType[] = L"RpmRecType";
constexpr wchar_t kRpmRecDurType[] = L"RpmRecDurType";
constexpr int32_t kRpmRecTypeDefault = 0;
constexpr int32_t kRpmRecDurTypeDefault = 0;
constexpr wchar_t kRpmDurSamps[] = L"RpmDurSamps";
constexpr uint64_t kRpmDurSampsDefault = 104857600;
constexpr wchar_t kRpmDurMs[] = L"RpmDurMs";
constexpr uint64_t kRpmDurMsDefault = 60000;
constexpr wchar_t kRpmAcqSamps[] = L"RpmAcqSamps";
constexpr uint32_t kRpmAcqSampsDefault = 1048576;

constexpr wchar_t kFftFlags[] = L"fft_opts_flags";
constexpr uint32_t kFftFlagsDefault = 0;
constexpr wchar_t kFftSize[] = L"fft_opts_fftsize";
constexpr int32_t kFftSizeDefault = 8192;
constexpr wchar_t kFftWinFunc[] = L"fft_opts_winfunc";
constexpr int32_t kFftWinFuncDefault = 3;
constexpr wchar_t kFftTdGrabHow[] = L"fft_opts_tdgrabhow";
constexpr int32_t kFftTdGrabHowDefault = 1;
constexpr wchar_t kFftTdExplicit[] = L"fft_opts_tdexplicit";
constexpr uint64_t kFftTdExplicitDefault = 0;
constexpr wchar_t kFftAvgRstCnt[] = L"fft_opts_avgrstcnt";
constexpr int32_t kFftAvgRstCntDefault = 0;
constexpr wchar_t kFftMaxPeaks[] = L"fft_opts_maxpeaks";
constexpr int32_t kFftMaxPeaksDefault = 10;
constexpr wchar_t kFftPeakSort[] = L"fft_opts_peaksort";
constexpr int32_t kFftPeakSortDefault = 0;

constexpr wchar_t kDocStartSample[] = L"doc_start_sample";
constexpr uint32_t kDocStartSampleDefault = 0;
constexpr wchar_t kDocSampleCount[] = L"doc_sample_count";
constexpr uint32_t kDocSampleCountDefault = 32768;
constexpr wchar_t kSaveDataFlags[] = L"save_data_flags";
constexpr uint32_t kSaveDataFlagsDefault = 0;
constexpr uint32_t kSaveDataFlagNotKept = 0x40; // cleared when read and when written

} // namespace opts
