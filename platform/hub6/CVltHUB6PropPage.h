#pragma once
// The component's settings page: shows the clock rate of the unit it was
// given and sets it when the user applies a new one.
#include "CComObjectRoot.h"
#include "CComPtr.h"
#include "VltHUB6.h"

class CVltHUB6PropPage : public IVltPropertyPage, public vlt::CComObjectRoot {
public:
    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    HRESULT SetObjects(uint32_t count, IUnknown** objects) override;
    HRESULT ShowFrame(QWidget* owner, BSTR caption, int32_t x, int32_t y, DISPID initialProperty) override;

private:
    CComPtr<IVltHUB6> m_device;
};
