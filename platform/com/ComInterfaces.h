#pragma once
// The standard interfaces that the plot library and its callers use.
// Each carries its identifier as the static member iid.
#include "ComTypes.h"
#include "Guid.h"

#include <cstdint>

class QWidget;
class QImage;
struct VARIANT;
using BSTR = wchar_t*;

struct IUnknown {
    static constexpr IID iid = vlt::MakeGuid("00000000-0000-0000-C000-000000000046");
    virtual HRESULT QueryInterface(const IID& riid, void** ppv) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

    template <class Q>
    HRESULT QueryInterface(Q** pp) { return QueryInterface(Q::iid, reinterpret_cast<void**>(pp)); }

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("00000001-0000-0000-C000-000000000046");
    virtual HRESULT CreateInstance(IUnknown* pOuter, const IID& riid, void** ppv) = 0;
    virtual HRESULT LockServer(bool lock) = 0;
};

// Arguments are given last first: rgvarg[0] is the last argument. Of named
// arguments only a put's value, named DISPID_PROPERTYPUT, is understood.
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    uint32_t cArgs = 0;
    DISPID* rgdispidNamedArgs = nullptr;
    uint32_t cNamedArgs = 0;
};

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;

constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

// What an object tells about a failed late-bound call beyond its HRESULT.
struct EXCEPINFO {
    uint16_t wCode = 0;
    BSTR bstrSource = nullptr;
    BSTR bstrDescription = nullptr;
    HRESULT scode = 0;
};

// Late-bound access by DISPID.
struct IDispatch : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("00020400-0000-0000-C000-000000000046");
    // names[0] is a member, the others name its parameters, whose ids are
    // their positions; an unknown name gets DISPID_UNKNOWN and the call
    // answers DISP_E_UNKNOWNNAME.
    virtual HRESULT GetIDsOfNames(const wchar_t* const* names, uint32_t count, DISPID* ids) = 0;
    // puArgErr (may be null) receives the rgvarg index of a refused argument.
    virtual HRESULT Invoke(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult, EXCEPINFO* pExcepInfo,
                           uint32_t* puArgErr) = 0;

    HRESULT GetIDOfName(const wchar_t* name, DISPID* pid) { return GetIDsOfNames(&name, 1, pid); }
};

struct IStream : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("0000000C-0000-0000-C000-000000000046");
    // Fewer bytes than asked for is not an error; pcbRead (may be null) tells.
    virtual HRESULT Read(void* pv, uint32_t cb, uint32_t* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, uint32_t cb, uint32_t* pcbWritten) = 0;
};

struct IPersist : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("0000010C-0000-0000-C000-000000000046");
    virtual HRESULT GetClassID(CLSID* pClassID) = 0;
};

struct IPersistStream : IPersist {
    static constexpr IID iid = vlt::MakeGuid("00000109-0000-0000-C000-000000000046");
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* pStm) = 0;
    virtual HRESULT Save(IStream* pStm, bool clearDirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* pcbSize) = 0;
};

struct IPersistStreamInit : IPersist {
    static constexpr IID iid = vlt::MakeGuid("7FD52380-4E07-101B-AE2D-08002B2EC713");
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* pStm) = 0;
    virtual HRESULT Save(IStream* pStm, bool clearDirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* pcbSize) = 0;
    virtual HRESULT InitNew() = 0;
};

struct IPropertyNotifySink : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("9BFBBC02-EFF1-101A-84ED-00AA00341D07");
    virtual HRESULT OnChanged(DISPID id) = 0;
    virtual HRESULT OnRequestEdit(DISPID id) = 0;
};

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT GetConnectionInterface(IID* piid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT Advise(IUnknown* pUnkSink, uint32_t* pdwCookie) = 0;
    virtual HRESULT Unadvise(uint32_t dwCookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
    virtual HRESULT FindConnectionPoint(const IID& riid, IConnectionPoint** ppCP) = 0;
};

// Font object: face, size in points, weight.
struct IFont : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("BEF6E002-A874-101A-8BBA-00AA00300CAB");
    virtual HRESULT get_Name(BSTR* pName) = 0;
    virtual HRESULT put_Name(BSTR name) = 0;
    virtual HRESULT get_Size(double* pPoints) = 0;
    virtual HRESULT put_Size(double points) = 0;
    virtual HRESULT get_Weight(int16_t* pWeight) = 0;
    virtual HRESULT put_Weight(int16_t weight) = 0;
    virtual HRESULT get_Charset(int16_t* pCharset) = 0;
    virtual HRESULT Clone(IFont** ppFont) = 0;
    virtual HRESULT IsEqual(IFont* pOther) = 0; // S_OK when alike, else S_FALSE
};

// The automation face of a font object; query it for IFont.
struct IFontDisp : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("BEF6E003-A874-101A-8BBA-00AA00300CAB");
};

constexpr int16_t PICTYPE_NONE = 0;
constexpr int16_t PICTYPE_BITMAP = 1;

// Picture object: a bitmap with its size in pixels.
struct IPicture : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("7BF80980-BF32-101A-8BBB-00AA00300CAB");
    virtual HRESULT get_Type(int16_t* pType) = 0;
    virtual HRESULT get_Width(int32_t* pWidth) = 0;
    virtual HRESULT get_Height(int32_t* pHeight) = 0;
    virtual HRESULT GetImage(QImage* pImage) = 0;
};

// The automation face of a picture object; query it for IPicture.
struct IPictureDisp : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("7BF80981-BF32-101A-8BBB-00AA00300CAB");
};

// A windowed object hands out its window.
struct IOleWindow : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("00000114-0000-0000-C000-000000000046");
    virtual HRESULT GetWindow(QWidget** ppWnd) = 0;
};

// In-place activation: the host gives the parent window and the rectangle.
struct IOleInPlaceObject : IOleWindow {
    static constexpr IID iid = vlt::MakeGuid("00000113-0000-0000-C000-000000000046");
    virtual HRESULT InPlaceActivate(QWidget* parent) = 0;
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT SetObjectRects(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
};

inline constexpr CLSID CLSID_StdFont = vlt::MakeGuid("0BE35203-8F91-11CE-9DE3-00AA004BB851");
inline constexpr CLSID CLSID_StdPicture = vlt::MakeGuid("0BE35204-8F91-11CE-9DE3-00AA004BB851");
