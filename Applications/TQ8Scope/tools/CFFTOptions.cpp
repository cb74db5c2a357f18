#include "CFFTOptions.h"

#include "CPersistentOpts.h"
#include "PersistentOptsKeys.h"

CFFTOptions::CFFTOptions()
    : flags(opts::kFftFlagsDefault)
    , fftSize(opts::kFftSizeDefault)
    , windowChoice(opts::kFftWinFuncDefault)
    , grabMode(opts::kFftTdGrabHowDefault)
    , explicitOffset(opts::kFftTdExplicitDefault)
    , avgRestartCount(opts::kFftAvgRstCntDefault)
    , maxPeaks(opts::kFftMaxPeaksDefault)
    , peakSort(opts::kFftPeakSortDefault)
    , exclusionPercent(0.0)
{
}

bool CFFTOptions::Load(CPersistentOpts& o)
{
    // Every item is read even after a malformed one.
    bool ok = o.GetItemUInt(opts::kFftFlags, flags, flags);
    ok = o.GetItemInt(opts::kFftSize, fftSize, fftSize) && ok;
    ok = o.GetItemInt(opts::kFftWinFunc, windowChoice, windowChoice) && ok;
    ok = o.GetItemInt(opts::kFftTdGrabHow, grabMode, grabMode) && ok;
    ok = o.GetItemU64(opts::kFftTdExplicit, explicitOffset, explicitOffset) && ok;
    ok = o.GetItemInt(opts::kFftAvgRstCnt, avgRestartCount, avgRestartCount) && ok;
    ok = o.GetItemInt(opts::kFftMaxPeaks, maxPeaks, maxPeaks) && ok;
    ok = o.GetItemInt(opts::kFftPeakSort, peakSort, peakSort) && ok;
    return ok;
}

void CFFTOptions::Save(CPersistentOpts& o) const
{
    o.SetItemUInt(opts::kFftFlags, flags);
    o.SetItemInt(opts::kFftSize, fftSize);
    o.SetItemInt(opts::kFftWinFunc, windowChoice);
    o.SetItemInt(opts::kFftTdGrabHow, grabMode);
    o.SetItemU64(opts::kFftTdExplicit, explicitOffset);
    o.SetItemInt(opts::kFftAvgRstCnt, avgRestartCount);
    o.SetItemInt(opts::kFftMaxPeaks, maxPeaks);
    o.SetItemInt(opts::kFftPeakSort, peakSort);
}
