#pragma once
// Late-bound access to the properties of IScopeTQ8 by DISPID, used by the
// property-map persistence. Each property takes and gives a variant of its
// own type only.
#include "TQ8UI.h"

#include <cstddef>

struct ScopeProperty {
    DISPID id;
    const wchar_t* name;
    VARTYPE vt;
    bool indexed;  // takes a channel id first
    bool readOnly;
};

// Every property of IScopeTQ8, in the interface's order.
const ScopeProperty* ScopeProperties(size_t* count);
const ScopeProperty* FindScopeProperty(DISPID id);
// Names compared without regard to case; DISP_E_UNKNOWNNAME when none.
HRESULT ScopePropertyIdOfName(const wchar_t* name, DISPID* pid);

// flags: DISPATCH_PROPERTYGET (args: [chanId]), DISPATCH_PROPERTYPUT or
// DISPATCH_PROPERTYPUTREF (args: [chanId,] value). Methods are not
// reachable this way: DISP_E_MEMBERNOTFOUND.
HRESULT InvokeScopeProperty(IScopeTQ8* scope, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult);
