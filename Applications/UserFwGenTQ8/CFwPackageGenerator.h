#pragma once
// One generation run of the firmware package generator: checks the form's
// settings, builds the manifest and the archive list, and writes the package.
// Every message goes through the message boxes of platform/ui; the control
// to focus after a failed check is handed back to the form.
#include <string>

#include "CFwContextTQ8.h"
#include "CFwGenSettings.h"
#include "FirmwarePackage.h"

class CFwPackageGenerator {
public:
    // The control to focus after a failed check (0: none), and whether its
    // whole text is to be selected and scrolled into view.
    struct Focus {
        int control = 0;
        bool selectAll = false;
    };

    explicit CFwPackageGenerator(const CFwGenSettings& settings);

    // Steps after the data exchange: check, save the manifest to a temporary
    // file, write the package, report, delete the temporary file. True when
    // the package was written.
    bool Generate();

    bool ValidateAndBuildContext(CFwContextTQ8& context, FwPackagePairs& pairs);
    // False when the user declined to go on after the warning.
    static bool CheckFirmwareFileTimes(const std::wstring& first, const std::wstring& second);

    const Focus& FocusAfterFailure() const { return m_focus; }

private:
    bool CheckOutput();
    bool CheckBitstream(const std::wstring& path, int control, const wchar_t* missingText);
    void AddChunk(CFwContextTQ8& context, FwPackagePairs& pairs, int32_t id, const std::wstring& path) const;
    bool Fail(const std::wstring& text, int control = 0, bool selectAll = false);

    const CFwGenSettings& m_settings;
    Focus m_focus;
};
