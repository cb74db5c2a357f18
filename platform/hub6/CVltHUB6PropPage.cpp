#include "CVltHUB6PropPage.h"

#include "CHub6SettingsDlg.h"
#include "TextConv.h"

#include <QPoint>
#include <QString>
#include <QWidget>

HRESULT CVltHUB6PropPage::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, IVltPropertyPage>(this, riid, ppv) || vlt::QiEntry<IVltPropertyPage>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT CVltHUB6PropPage::SetObjects(uint32_t count, IUnknown** objects)
{
    m_device.Release();
    if (count == 0)
        return S_OK;
    if (!objects || !objects[0])
        return E_POINTER;
    // One unit per page: the first object is the one shown.
    return objects[0]->QueryInterface(&m_device);
}

HRESULT CVltHUB6PropPage::ShowFrame(QWidget* owner, BSTR caption, int32_t x, int32_t y, DISPID)
{
    if (!m_device)
        return E_UNEXPECTED;
    double rate = 0.0;
    if (HRESULT hr = m_device->GetDeviceClockRate(&rate); FAILED(hr))
        return hr;
    CHub6SettingsDlg dlg(owner, QString::fromStdString(vlt::WideToUtf8(vlt::BstrView(caption))), rate);
    // x, y are relative to the owner; 0, 0 leaves the frame centred on it,
    // as the program's other dialogs are.
    if (owner && (x != 0 || y != 0))
        dlg.move(owner->mapToGlobal(QPoint(x, y)));
    if (dlg.exec() != QDialog::Accepted)
        return S_FALSE;
    // Left alone, a rate finer than the box shows stays as it is.
    return dlg.IsRateChanged() ? m_device->SetDeviceClockRate(dlg.GetClockRate()) : S_OK;
}
