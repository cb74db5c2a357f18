#pragma once
// What the board document asks of its frequency-domain window. The window
// implements it.
#include <cstdint>

class QWidget;

class IFreqDomainWindow {
public:
    virtual ~IFreqDomainWindow() = default;

    virtual QWidget* Widget() = 0;
    virtual void LoadOptions() = 0;
    // Recomputes the spectra of one source, or of all with -1.
    virtual void UpdateSpectra(int32_t srcId) = 0;
    virtual void OnSourceAdded(uint32_t srcId) = 0;
    virtual void OnSourceRemoved(uint32_t srcId) = 0;
    virtual void OnPlotSelectionChanged() = 0;
};
