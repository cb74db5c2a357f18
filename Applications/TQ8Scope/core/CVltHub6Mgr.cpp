#include "CVltHub6Mgr.h"

#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include <QWidget>

#include "AdcRateRule.h"
#include "CComBSTR.h"
#include "CComVariant.h"
#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "ComCreate.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "SafeArray.h"
#include "TextConv.h"

namespace {

constexpr wchar_t kNotInstalled[] = L"HUB3300-6 software is not installed";
constexpr wchar_t kFrameCaption[] = L"HUB3300-6";

// The answers remembered for the process.
struct SoftwareState {
    std::mutex mutex;
    std::optional<bool> installed;
    std::optional<uint32_t> localCount;
};

SoftwareState& State()
{
    static SoftwareState state;
    return state;
}

// 0 when the board can run on the unit's clock at rate with that source and
// those dividers; else the library's code for a rate below or above what it
// takes. A board on its own clock is not driven by the unit's rate.
int32_t RateRefusal(TQ8_HANDLE board, double rate, int32_t source, int32_t divider1, int32_t divider2)
{
    if (source == TQ8_CLOCK_INTERNAL)
        return 0;
    const double adcRate = tq8::AdcRateMHz(source, 0.0, rate, divider1, divider2);
    return tq8::AdcRateRefusal(adcRate, GetAdcInterleaveEnableTQ8(board, 1) > 0);
}

// The same, with the board's clock as it is set.
int32_t RateRefusal(TQ8_HANDLE board, double rate)
{
    return RateRefusal(board, rate, GetAdcClockSourceTQ8(board, 1), GetExtClockDivider1TQ8(board, 1),
                       GetExtClockDivider2TQ8(board, 1));
}

std::wstring ObjectErrorText(IVltHUB6* object)
{
    CComBSTR text;
    if (!object || FAILED(object->GetErrorText(0, &text)))
        return {};
    return std::wstring(text.View());
}

uint32_t CountLocalUnits()
{
    CComPtr<IVltHUB6> object;
    if (FAILED(CreateHub6Object(object)))
        return 0;
    uint32_t count = 0;
    while (count < UINT32_MAX && SUCCEEDED(object->OpenLocal(count + 1))) {
        ++count;
        object->Close();
    }
    return count;
}

} // namespace

// ---- Free routines ---------------------------------------------------------------------

HRESULT CreateHub6Object(CComPtr<IVltHUB6>& object)
{
    object.Release();
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(kHub6ProgId, &clsid);
    if (FAILED(hr))
        return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IVltHUB6::iid, reinterpret_cast<void**>(&object));
}

bool IsHub6SoftwareInstalled()
{
    SoftwareState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.installed) {
        CComPtr<IVltHUB6> object;
        state.installed = SUCCEEDED(CreateHub6Object(object));
    }
    return *state.installed;
}

uint32_t GetLocalHub6DeviceCount()
{
    SoftwareState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.localCount)
        state.localCount = CountLocalUnits();
    return *state.localCount;
}

void ForgetHub6SoftwareState()
{
    SoftwareState& state = State();
    std::lock_guard lock(state.mutex);
    state.installed.reset();
    state.localCount.reset();
}

bool EnumRemoteHub6Devices(const wchar_t* server, uint16_t port, std::vector<uint32_t>& serials,
                           std::wstring* error)
{
    CComPtr<IVltHUB6> object;
    if (FAILED(CreateHub6Object(object))) {
        if (error)
            *error = kNotInstalled;
        return false;
    }
    CComBSTR name(server ? server : L"");
    uint32_t count = 0;
    CComVariant list;
    if (FAILED(object->ListServerDevices(name, port, &count, &list))) {
        if (error)
            *error = ObjectErrorText(object);
        return false;
    }
    if (count == 0)
        return true;
    if (list.vt != (VT_ARRAY | VT_UI4) || !list.parray || list.parray->rgsabound[0].cElements < count)
        return false;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(list.parray, &data)))
        return false;
    const auto* values = static_cast<const uint32_t*>(data);
    serials.insert(serials.end(), values, values + count);
    SafeArrayUnaccessData(list.parray);
    return true;
}

bool FormatHub6ErrorText(std::wstring& text, const wchar_t* context, IVltHUB6* object)
{
    text.clear();
    if (!object)
        return false;
    const std::wstring error = ObjectErrorText(object);
    CComBSTR name;
    if (SUCCEEDED(object->GetStringItem(kHub6ItemErrorName, &name)) && name.Length() != 0)
        text.append(name.View()).append(L": ");
    if (context)
        text += context;
    text += error;
    return true;
}

// ---- CSyncInst ------------------------------------------------------------------------

CVltHub6Mgr::CSyncInst::CSyncInst(CVltHub6Mgr* manager, int32_t id, IVltHUB6* object)
    : m_manager(manager), m_id(id), m_object(object)
{
}

CVltHub6Mgr::CSyncInst::CSyncInst(CSyncInst&& other) noexcept
    : m_manager(other.m_manager),
      m_id(other.m_id),
      m_object(std::move(other.m_object)),
      m_server(std::move(other.m_server)),
      m_port(other.m_port)
{
    for (int i = 0; i < kOutputCount; ++i)
        m_outputs[i] = std::exchange(other.m_outputs[i], nullptr);
}

CVltHub6Mgr::CSyncInst& CVltHub6Mgr::CSyncInst::operator=(CSyncInst&& other) noexcept
{
    if (this == &other)
        return *this;
    DetachAll();
    m_manager = other.m_manager;
    m_id = other.m_id;
    m_object = std::move(other.m_object);
    m_server = std::move(other.m_server);
    m_port = other.m_port;
    for (int i = 0; i < kOutputCount; ++i)
        m_outputs[i] = std::exchange(other.m_outputs[i], nullptr);
    return *this;
}

CVltHub6Mgr::CSyncInst::~CSyncInst()
{
    DetachAll();
}

void CVltHub6Mgr::CSyncInst::DetachAll()
{
    for (int i = 0; i < kOutputCount; ++i) {
        CMainDoc* doc = DocumentOf(std::exchange(m_outputs[i], nullptr));
        if (doc && doc->GetSyncDeviceId() == m_id)
            doc->SetSyncDevice(0);
    }
}

void CVltHub6Mgr::CSyncInst::SetRemoteLocation(const std::wstring& server, uint16_t port)
{
    m_server = server;
    m_port = port;
}

std::wstring CVltHub6Mgr::CSyncInst::GetName() const
{
    CComBSTR name;
    if (!m_object || FAILED(m_object->GetStringItem(kHub6ItemDisplayName, &name)))
        return {};
    return std::wstring(name.View());
}

TQ8_HANDLE CVltHub6Mgr::CSyncInst::GetOutputDevice(int index) const
{
    return index >= 0 && index < kOutputCount ? m_outputs[index] : nullptr;
}

CMainDoc* CVltHub6Mgr::CSyncInst::DocumentOf(TQ8_HANDLE handle) const
{
    if (!handle || !m_manager || !m_manager->GetDeviceManager())
        return nullptr;
    return m_manager->GetDeviceManager()->GetDocument(handle);
}

CMainDoc* CVltHub6Mgr::CSyncInst::GetOutputDocument(int index) const
{
    return DocumentOf(GetOutputDevice(index));
}

int CVltHub6Mgr::CSyncInst::FindOutputOfDevice(TQ8_HANDLE handle) const
{
    if (!handle)
        return -1;
    for (int i = 0; i < kOutputCount; ++i)
        if (m_outputs[i] == handle)
            return i;
    return -1;
}

bool CVltHub6Mgr::CSyncInst::IsBoundElsewhere(TQ8_HANDLE handle, int index) const
{
    const int own = FindOutputOfDevice(handle);
    if (own != -1 && own != index)
        return true;
    if (!m_manager)
        return false;
    for (const auto& [id, inst] : m_manager->m_instances)
        if (&inst != this && inst.FindOutputOfDevice(handle) != -1)
            return true;
    return false;
}

bool CVltHub6Mgr::CSyncInst::SetOutputDevice(int index, TQ8_HANDLE handle)
{
    if (index < 0 || index >= kOutputCount)
        return false;
    if (m_outputs[index] == handle)
        return true;
    if (handle) {
        if (GetSyncConfigurationTQ8(handle, 1) != 1)
            return false;
        if (const CMainDoc* doc = DocumentOf(handle)) {
            const int32_t boundId = doc->GetSyncDeviceId();
            if (boundId != 0 && boundId != m_id)
                return false;
            if (boundId == m_id && doc->GetSyncOutputIndex() != -1 && doc->GetSyncOutputIndex() != index)
                return false;
        }
        // A board without a document is held to the same rule by the outputs themselves.
        if (IsBoundElsewhere(handle, index))
            return false;
    }
    CMainDoc* oldDoc = DocumentOf(m_outputs[index]);
    if (oldDoc && oldDoc->GetSyncDeviceId() == m_id)
        oldDoc->SetSyncDevice(0);
    m_outputs[index] = handle;
    // The board's external clock is this unit's from now on: the library is
    // told its rate, so that the board reports it when clocked by the unit.
    double rate = 0.0;
    if (handle && m_object && SUCCEEDED(m_object->GetDeviceClockRate(&rate)))
        SetExternalClockRateTQ8(handle, rate);
    if (CMainDoc* doc = DocumentOf(handle)) {
        doc->SetSyncDevice(m_id, index);
        doc->FollowClockChange();
    }
    return true;
}

std::wstring CVltHub6Mgr::CSyncInst::RateRefusals(double rate) const
{
    std::wstring refused;
    for (int i = 0; i < kOutputCount; ++i) {
        if (!GetOutputDocument(i))
            continue;
        if (const int32_t rc = RateRefusal(m_outputs[i], rate); rc != 0) {
            std::wstring text;
            FormatDeviceErrorText(text, rc, nullptr, m_outputs[i]);
            refused += (refused.empty() ? L"" : L"\n") + text;
        }
    }
    return refused;
}

int32_t CVltHub6Mgr::CSyncInst::ClockRefusal(TQ8_HANDLE board, int32_t source, int32_t divider1,
                                             int32_t divider2) const
{
    double rate = 0.0;
    if (!m_object || FAILED(m_object->GetDeviceClockRate(&rate)))
        return 0;
    return RateRefusal(board, rate, source, divider1, divider2);
}

bool CVltHub6Mgr::CSyncInst::SetClockRate(double rate)
{
    // A rate that a bound board cannot run at changes nothing, neither the
    // unit nor any board.
    if (std::wstring refused = RateRefusals(rate); !refused.empty()) {
        if (m_manager)
            m_manager->m_lastError = std::move(refused);
        return false;
    }
    HRESULT hr = m_object ? m_object->SetDeviceClockRate(rate) : E_POINTER;
    // Every bound board is given the rate, also after one has refused it, so
    // that as many as can follow the unit do; the refusals are named after.
    std::wstring refused;
    for (int i = 0; SUCCEEDED(hr) && i < kOutputCount; ++i) {
        CMainDoc* doc = GetOutputDocument(i);
        if (!doc)
            continue;
        if (const int32_t rc = SetExternalClockRateTQ8(m_outputs[i], rate); rc != 0) {
            std::wstring text;
            FormatDeviceErrorText(text, rc, nullptr, m_outputs[i]);
            refused += (refused.empty() ? L"" : L"\n") + text;
        }
        doc->FollowClockChange();
    }
    if (SUCCEEDED(hr))
        hr = m_object->SynchronizeExternal();
    if (SUCCEEDED(hr) && refused.empty())
        return true;
    if (m_manager)
        m_manager->m_lastError = FAILED(hr) ? ObjectErrorText(m_object) : refused;
    return false;
}

// ---- CVltHub6Mgr ----------------------------------------------------------------------

CVltHub6Mgr::~CVltHub6Mgr()
{
    RemoveAllInstances();
}

CVltHub6Mgr::CSyncInst* CVltHub6Mgr::FindInstance(int32_t id)
{
    auto it = m_instances.find(id);
    return it == m_instances.end() ? nullptr : &it->second;
}

const CVltHub6Mgr::CSyncInst* CVltHub6Mgr::FindInstance(int32_t id) const
{
    auto it = m_instances.find(id);
    return it == m_instances.end() ? nullptr : &it->second;
}

int32_t CVltHub6Mgr::FindInstanceBySerial(uint32_t serial) const
{
    if (serial == 0)
        return 0;
    for (const auto& [id, inst] : m_instances) {
        uint32_t s = 0;
        if (inst.GetObject() && SUCCEEDED(inst.GetObject()->GetSerialNumber(&s)) && s == serial)
            return id;
    }
    return 0;
}

uint32_t CVltHub6Mgr::GetInstanceIds(std::vector<int32_t>& ids) const
{
    for (const auto& entry : m_instances)
        ids.push_back(entry.first);
    return static_cast<uint32_t>(m_instances.size());
}

uint32_t CVltHub6Mgr::GetInstanceSerial(int32_t id) const
{
    const CSyncInst* inst = FindInstance(id);
    uint32_t serial = 0;
    if (!inst || !inst->GetObject() || FAILED(inst->GetObject()->GetSerialNumber(&serial)))
        return 0;
    return serial;
}

bool CVltHub6Mgr::GetInstanceErrorText(std::wstring& text, const wchar_t* context, int32_t id) const
{
    const CSyncInst* inst = FindInstance(id);
    if (!inst) {
        text.clear();
        return false;
    }
    return FormatHub6ErrorText(text, context, inst->GetObject());
}

uint32_t CVltHub6Mgr::AllocateVirtualSerial()
{
    uint32_t serial = m_nextVirtualSerial;
    // Serial 0 names no unit, so the count skips it when it wraps.
    while (serial == 0 || FindInstanceBySerial(serial) != 0)
        ++serial;
    m_nextVirtualSerial = serial + 1;
    return serial;
}

void CVltHub6Mgr::SetObjectError(IVltHUB6* object, const wchar_t* context)
{
    FormatHub6ErrorText(m_lastError, context, object);
}

int32_t CVltHub6Mgr::AddInstance(IVltHUB6* object)
{
    uint32_t serial = 0;
    if (!object)
        return 0;
    // A unit whose serial cannot be read could be neither matched nor saved.
    if (FAILED(object->GetSerialNumber(&serial)) || serial == 0) {
        SetObjectError(object);
        return 0;
    }
    if (int32_t existing = FindInstanceBySerial(serial))
        return existing;
    if (m_nextId <= 0)
        return 0; // every id has been used
    try {
        const int32_t id = m_nextId;
        m_instances.emplace(id, CSyncInst(this, id, object));
        ++m_nextId;
        return id;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t CVltHub6Mgr::ConnectLocal(uint32_t index)
{
    CComPtr<IVltHUB6> object;
    if (FAILED(CreateHub6Object(object))) {
        m_lastError = kNotInstalled;
        return 0;
    }
    if (FAILED(object->OpenLocal(index))) {
        SetObjectError(object);
        return 0;
    }
    return AddInstance(object);
}

int32_t CVltHub6Mgr::AddVirtual(uint32_t serial)
{
    CComPtr<IVltHUB6> object;
    if (FAILED(CreateHub6Object(object))) {
        m_lastError = kNotInstalled;
        return 0;
    }
    if (serial == 0)
        serial = AllocateVirtualSerial();
    if (FAILED(object->OpenVirtual(serial, 1))) {
        SetObjectError(object);
        return 0;
    }
    return AddInstance(object);
}

int32_t CVltHub6Mgr::ConnectRemote(const wchar_t* server, uint16_t port, uint32_t serial, bool isVirtual)
{
    CComPtr<IVltHUB6> object;
    if (FAILED(CreateHub6Object(object))) {
        m_lastError = kNotInstalled;
        return 0;
    }
    CComBSTR name(server ? server : L"");
    HRESULT hr;
    if (isVirtual) {
        if (serial == 0)
            serial = AllocateVirtualSerial();
        hr = object->ConnectRemoteVirtualDevice(serial, 1, 0, port, name, 0, 0);
    } else {
        hr = object->ConnectRemoteDevice(serial, 0, port, name, 0, 0);
    }
    if (FAILED(hr)) {
        SetObjectError(object);
        return 0;
    }
    const int32_t id = AddInstance(object);
    if (CSyncInst* inst = FindInstance(id))
        inst->SetRemoteLocation(server ? server : L"", port);
    return id;
}

int32_t CVltHub6Mgr::ConnectServerDevices(const wchar_t* server, uint16_t port, std::vector<int32_t>& ids,
                                          bool warnWhenEmpty)
{
    std::vector<uint32_t> serials;
    if (!EnumRemoteHub6Devices(server, port, serials)) {
        if (!warnWhenEmpty)
            AfxMessageBox(L"Remote server test failed. Server may be down or server parameters may be wrong.",
                          MB_ICONERROR);
        return 0;
    }
    if (serials.empty()) {
        if (warnWhenEmpty)
            AfxMessageBox(L"Server is running but has no HUB3300-6 devices", MB_ICONWARNING);
        return 0;
    }
    int32_t count = 0;
    for (uint32_t serial : serials) {
        if (int32_t id = ConnectRemote(server, port, serial, false)) {
            ids.push_back(id);
            ++count;
        }
    }
    return count;
}

int32_t CVltHub6Mgr::ConnectAllLocal()
{
    const uint32_t n = GetLocalHub6DeviceCount();
    int32_t count = 0;
    for (uint32_t index = 1; index <= n; ++index) {
        CComPtr<IVltHUB6> object;
        if (FAILED(CreateHub6Object(object)))
            return -1;
        if (FAILED(object->OpenLocal(index)))
            continue;
        if (AddInstance(object) != 0)
            ++count;
    }
    return count;
}

bool CVltHub6Mgr::RemoveInstance(int32_t id)
{
    auto node = m_instances.extract(id);
    // The instance ends here, after it has left the map, so that documents
    // told of the unbinding no longer find it.
    return !node.empty();
}

void CVltHub6Mgr::RemoveAllInstances()
{
    auto ending = std::move(m_instances);
    m_instances.clear();
    ending.clear();
}

void CVltHub6Mgr::DetachDevice(TQ8_HANDLE handle)
{
    if (!handle)
        return;
    for (auto& [id, inst] : m_instances) {
        const int index = inst.FindOutputOfDevice(handle);
        if (index != -1)
            inst.SetOutputDevice(index, nullptr);
    }
}

bool CVltHub6Mgr::ShowDeviceSettings(int32_t id, QWidget* owner, DISPID initialProperty)
{
    CSyncInst* inst = FindInstance(id);
    if (!inst || !inst->GetObject())
        return false;
    CComPtr<IVltHUB6> object(inst->GetObject()); // the instance may end while the page shows
    double before = 0.0;
    object->GetDeviceClockRate(&before);

    CComPtr<IVltPropertyPage> page;
    if (FAILED(CoCreateInstance(CLSID_VltHUB6PropPage, nullptr, CLSCTX_INPROC_SERVER, IVltPropertyPage::iid,
                                reinterpret_cast<void**>(&page))))
        return false;
    IUnknown* objects[] = {object.p};
    CComBSTR caption(kFrameCaption);
    if (FAILED(page->SetObjects(1, objects)) || FAILED(page->ShowFrame(owner, caption, 0, 0, initialProperty)))
        return false;
    page->SetObjects(0, nullptr);

    double after = 0.0;
    const CSyncInst* shown = FindInstance(id);
    if (FAILED(object->GetDeviceClockRate(&after)) || after == before || !shown)
        return true;
    if (const std::wstring refused = shown->RateRefusals(after); !refused.empty())
        RefuseDeviceRate(object, before, refused, owner);
    else
        OnDeviceSettingsChanged(id);
    return true;
}

void CVltHub6Mgr::RefuseDeviceRate(IVltHUB6* object, double rate, const std::wstring& refused, QWidget* owner)
{
    object->SetDeviceClockRate(rate);
    m_lastError = refused;
    vlt::ShowMessageBox(kHub6RateRefusedContext + refused, MB_ICONERROR, owner);
}

bool CVltHub6Mgr::ApplyClockToBoards(int32_t id)
{
    CSyncInst* inst = FindInstance(id);
    if (!inst || !inst->GetObject())
        return false;
    double rate = 0.0;
    if (FAILED(inst->GetObject()->GetDeviceClockRate(&rate))) {
        m_lastError = ObjectErrorText(inst->GetObject());
        return false;
    }
    return inst->SetClockRate(rate);
}

bool CVltHub6Mgr::GetInstanceSettings(int32_t id, std::string& xml)
{
    CSyncInst* inst = FindInstance(id);
    if (!inst || !inst->GetObject())
        return false;
    CComBSTR text;
    if (FAILED(inst->GetObject()->SaveSettingsToString(&text))) {
        SetObjectError(inst->GetObject());
        return false;
    }
    xml = vlt::WideToUtf8(text.View());
    return true;
}

bool CVltHub6Mgr::SetInstanceSettings(int32_t id, const std::string& xml)
{
    CSyncInst* inst = FindInstance(id);
    if (!inst || !inst->GetObject())
        return false;
    CComBSTR text(vlt::Utf8ToWide(xml));
    if (FAILED(inst->GetObject()->LoadSettingsFromString(text))) {
        SetObjectError(inst->GetObject());
        return false;
    }
    return true;
}

void CVltHub6Mgr::OnDeviceSettingsChanged(int32_t id)
{
    CSyncInst* inst = FindInstance(id);
    if (!inst || !inst->GetObject())
        return;
    double rate = 0.0;
    const bool known = SUCCEEDED(inst->GetObject()->GetDeviceClockRate(&rate));
    // The bound boards run on the new rate: the library is told, as when the
    // rate is set from a board's clock page.
    for (int i = 0; i < kOutputCount; ++i) {
        CMainDoc* doc = inst->GetOutputDocument(i);
        if (!doc)
            continue;
        if (known)
            SetExternalClockRateTQ8(inst->GetOutputDevice(i), rate);
        doc->FollowClockChange();
    }
    inst->GetObject()->SynchronizeExternal();
}
