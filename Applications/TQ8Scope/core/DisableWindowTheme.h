#pragma once
// Switches one window's visual theme off: it is drawn in the classic style
// (Qt's "Windows" style, made once and kept for the process).
#include "ComTypes.h"

class QWidget;

// E_INVALIDARG for a null window; 0 (nothing done) when the classic style is
// not available; S_OK otherwise.
HRESULT DisableWindowTheme(QWidget* window);
