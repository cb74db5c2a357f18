#pragma once
// The data exchange between the generator's form and its settings, kept
// apart from the widgets: the form hands over what its controls hold.
#include <string>

#include "CFwGenSettings.h"

struct FwGenFormValues {
    int fpgaType = 0;        // selected index, -1 none
    std::wstring xcf32pPath;
    std::wstring xcf16pPath;
    std::wstring readmePath;
    int readmeSev = 0;       // selected index
    std::wstring outputPath;
    std::wstring custEnum;   // text of the custom enumeration
    std::wstring version;    // text of the version
    bool preRelease = false;
    bool overwritePrompt = true;
};

// The controls' contents for the settings.
FwGenFormValues FormValuesFromSettings(const CFwGenSettings& settings);

// Takes the controls' contents into the settings in the form's order and
// stops at the first value that is refused, after showing its message; the
// values taken before it stay. failedControl names the refused control.
bool ExchangeFromForm(const FwGenFormValues& values, CFwGenSettings& settings, int& failedControl);
