#pragma once
// Helpers shared by the plot control tests: a fresh control, and sinks that
// record what the control tells them.
#include "CComObject.h"
#include "CComPtr.h"
#include "CScopeCtrl.h"
#include "TQ8UI.h"

#include <functional>
#include <vector>

using ScopeObject = vlt::CComObject<CScopeCtrl>;

// A new control with one reference held by the returned pointer.
CComPtr<IScopeTQ8> NewScope(ScopeObject** raw = nullptr);
// The implementation behind an interface made by NewScope.
CScopeCtrl* Impl(IScopeTQ8* scope);
uint32_t RefCount(IUnknown* p);

struct NotifySink : IPropertyNotifySink, vlt::CComObjectRoot {
    std::vector<DISPID> changed;
    std::vector<DISPID> requested;
    HRESULT editAnswer = S_OK;
    std::function<void(DISPID)> onChanged;

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT OnChanged(DISPID id) override;
    HRESULT OnRequestEdit(DISPID id) override;
};

struct EventSink : _IScopeTQ8Events, vlt::CComObjectRoot {
    std::vector<uint32_t> added, removed;
    std::vector<std::pair<DISPID, uint32_t>> sources; // additions (101) and removals (102) in order
    std::vector<std::pair<uint64_t, uint64_t>> selections;
    HRESULT result = S_OK;
    std::function<void()> during;

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT OnSelectionChange(uint64_t start, uint64_t end) override;
    HRESULT OnSourceAdded(uint32_t srcId) override;
    HRESULT OnSourceRemoved(uint32_t srcId) override;
};

struct EventSink2 : _IScopeTQ8Events2, vlt::CComObjectRoot {
    std::vector<std::pair<uint32_t, std::wstring>> errors;
    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT OnSourceDataError(uint32_t srcId, BSTR reason) override;
};

// A label provider that has no labels; tests override what they need.
struct NoLabels : IScopeTQ8CustomLabelProvider, vlt::CComObjectRoot {
    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT GetXAxisLabel(uint64_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetYAxisLabel(double, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetXSelLabel(uint64_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetXSelSpanLabel(uint64_t, uint64_t, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetSampleTipLabel(uint32_t, uint64_t, VARIANT, BSTR*) override { return E_NOTIMPL; }
};

template <class T>
CComPtr<T> MakeSink()
{
    vlt::CComObject<T>* p = nullptr;
    vlt::CComObject<T>::CreateInstance(&p);
    return CComPtr<T>(p);
}

// Connects sink to the control's connection point for riid; returns the cookie.
uint32_t Connect(IScopeTQ8* scope, const IID& riid, IUnknown* sink);
void Disconnect(IScopeTQ8* scope, const IID& riid, uint32_t cookie);
