#pragma once
// Basic types and result codes of the component runtime.
#include <cstdint>

using HRESULT = int32_t;
using DISPID = int32_t;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using OLE_COLOR = uint32_t;
using COLORREF = uint32_t; // 0x00BBGGRR

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT MakeHResult(uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);

constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);
constexpr HRESULT SELFREG_E_CLASS = MakeHResult(0x80040201);

constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202);

constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = MakeHResult(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008);
constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000E);
constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHResult(0x8002000D);

constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001D);
constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001E);
constexpr HRESULT STG_E_INVALIDHEADER = MakeHResult(0x800300FB);
constexpr HRESULT STG_E_OLDFORMAT = MakeHResult(0x80030104);
