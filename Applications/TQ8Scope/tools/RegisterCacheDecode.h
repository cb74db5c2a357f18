#pragma once
// All five groups of the register cache, in the order the viewer shows them.
#include "CRegisterLines.h"
#include "TQ8_64.h"

void BuildRegisterCacheLines(CRegisterLines& lines, TQ8_HANDLE device);
