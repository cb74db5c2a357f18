#pragma once
// Registers how a board document makes its frequency-domain, driver-statistics,
// register cache, serial-device register I/O and firmware upload windows and
// runs its ADC calibration dialog. Called once at program start-up.
void RegisterDocumentToolWindows();
