#pragma once
// Late-bound access to IScopeTQ8: one table of its properties and methods by
// DISPID, and the marshaller that turns an Invoke's arguments into the call
// of the same member. Properties take and give a variant of their own type
// only (the property-map persistence relies on it). A method's [in]
// arguments are converted to their declared types; its out parameters come
// as references (VT_BYREF) of their types, which the method writes through,
// and a last out parameter that the caller leaves out comes back as the
// result. Arguments are passed on as given, but for a buffer handed over
// with bFreeWhenDone: the source gets a copy of its own, since the caller
// frees its arguments after the call.
#include "TQ8UI.h"

#include <cstddef>

struct ScopeInvocation;

struct ScopeMember {
    DISPID id;
    const wchar_t* name;
    VARTYPE vt;            // a property's type; VT_EMPTY for a method
    bool indexed;          // a property that takes a channel id first
    bool readOnly;
    bool method;
    const wchar_t* params; // names of the parameters, comma separated
    HRESULT (*call)(IScopeTQ8* scope, const ScopeInvocation& how);
};

// Every property of IScopeTQ8 in the interface's order, then its methods.
const ScopeMember* ScopeMembers(size_t* count);
const ScopeMember* FindScopeMember(DISPID id);
// Null for a method.
const ScopeMember* FindScopeProperty(DISPID id);

// IDispatch::GetIDsOfNames, names compared without regard to case.
HRESULT ScopeIdsOfNames(const wchar_t* const* names, uint32_t count, DISPID* ids);

// IDispatch::Invoke. Properties: DISPATCH_PROPERTYGET (args: [chanId]),
// DISPATCH_PROPERTYPUT or DISPATCH_PROPERTYPUTREF (args: [chanId,] value).
// Methods: DISPATCH_METHOD, alone or with DISPATCH_PROPERTYGET. A method's
// own failure is returned as it is.
HRESULT InvokeScopeMember(IScopeTQ8* scope, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult,
                          uint32_t* puArgErr);
