#pragma once
// Registers how a board document makes its frequency-domain and
// driver-statistics windows and
// runs its ADC calibration dialog. Called once at program start-up.
void RegisterDocumentToolWindows();
