#pragma once
// Registers how a board document makes its driver-statistics window and
// runs its ADC calibration dialog. Called once at program start-up.
void RegisterDocumentToolWindows();
