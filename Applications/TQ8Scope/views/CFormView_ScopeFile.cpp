// What the scope panel learns of a sample file before plotting it.
#include "CFormView_Scope.h"

bool CFormView_Scope::CPlotSrcState::InitFromFile(const std::wstring& filePath)
{
    type = kFileSource;
    path = filePath;
    info.size = sizeof(info);
    wchar_t* notes = nullptr;
    if (GetRecordedDataInfoWTQ8(filePath.c_str(), &info, &notes) != 0) {
        // Without its context the file is taken as its bytes.
        info.size = 0;
        FreeMemoryTQ8(notes);
        return false;
    }
    if (notes)
        description = notes;
    FreeMemoryTQ8(notes);
    return true;
}
