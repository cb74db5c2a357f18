#pragma once
// What the FFT options dialog reads from its controls, and the checks that
// turn it into a CFFTOptions record. Kept apart from the widgets so that the
// rules can be tested on their own.
#include "CFFTOptions.h"

#include <string>
#include <vector>

// The transform sizes offered: 256, 512, ... 65536.
std::vector<int32_t> FftSizeChoices();

// The listed size to select for a record's size: the size itself when it is
// listed, else the default 8192.
int32_t FftSizeToSelect(int32_t size);

struct FftOptionsInput {
    int32_t fftSize = 8192;     // item data of the selected size
    int32_t windowChoice = 3;   // selected index
    int32_t grabMode = 1;       // checked radio button
    std::wstring offsetText;
    bool averaging = false;
    std::wstring restartText;
    bool peakTracking = false;
    std::wstring maxPeaksText;
    std::wstring exclusionText;
};

enum class FftOptionsField { None, FftSize, Offset, RestartCount, MaxPeaks, Exclusion };

struct FftOptionsProblem {
    FftOptionsField field = FftOptionsField::None;
    std::wstring message; // empty when the input is valid
};

// The controls' texts for a record.
FftOptionsInput FftOptionsToInput(const CFFTOptions& options);

// Checks the input in the order of the dialog's fields and, only when all of
// it is valid, writes it into options. The first problem is returned.
FftOptionsProblem ApplyFftOptionsInput(const FftOptionsInput& input, CFFTOptions& options);
