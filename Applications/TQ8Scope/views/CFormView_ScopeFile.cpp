// What the scope panel learns of a sample file before plotting it.
#include "CFormView_Scope.h"

bool CFormView_Scope::CPlotSrcState::InitFromFile(const std::wstring& filePath)
{
    type = kFileSource;
    path = filePath;
    // The file's context is not read yet: the file is plotted as raw bytes.
    info.size = 0;
    return false;
}
