#pragma once
// Helpers of the channel-source tests: the built library registered in a
// private registry and its sources made by ProgID, typed sample values,
// arrays, variants and scratch files.
#include "CComObject.h"
#include "CComPtr.h"
#include "CComVariant.h"
#include "SafeArray.h"
#include "SourceFetch.h"
#include "TQ8UI.h"
#include "Variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A scratch folder named `name` with a private registry in it that holds the
// built library's classes (its DllRegisterServer), for as long as it lives.
class RegisteredLibrary {
public:
    explicit RegisteredLibrary(std::string name);
    ~RegisteredLibrary();
    RegisteredLibrary(const RegisteredLibrary&) = delete;
    RegisteredLibrary& operator=(const RegisteredLibrary&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    // The library's own DllCanUnloadNow.
    HRESULT CanUnloadNow() const;
    std::filesystem::path WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path m_dir;
    void* m_lib = nullptr;
};

// A source of this library made through the component runtime by its ProgID.
CComPtr<IScopeTQ8ChannelSource> CreateSource(const wchar_t* progId);

// Per test: a registered library in a scratch folder of the test's own.
class ChanSrcTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { m_lib.reset(); }

    CComPtr<IScopeTQ8ChannelSource> Create(const wchar_t* progId) { return CreateSource(progId); }
    template <class I>
    CComPtr<I> As(IScopeTQ8ChannelSource* src)
    {
        CComPtr<I> p;
        EXPECT_EQ(src->QueryInterface(I::iid, reinterpret_cast<void**>(&p)), S_OK);
        return p;
    }
    std::filesystem::path Dir() const { return m_lib->Dir(); }
    HRESULT CanUnloadNow() const { return m_lib->CanUnloadNow(); }
    std::filesystem::path WriteFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        return m_lib->WriteFile(name, bytes);
    }

private:
    std::unique_ptr<RegisteredLibrary> m_lib;
};

// Answers as told and records what the control asks and tells it.
struct TestArbiter : IScopeTQ8ChannelArbiter, vlt::CComObjectRoot {
    HRESULT answer = S_OK;
    std::vector<uint32_t> asked, needed;

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT SafeToObtainChannelData(uint32_t srcId) override;
    HRESULT OnScopeNeedsDataWhenAvailable(uint32_t srcId) override;
};
CComPtr<TestArbiter> MakeArbiter();

// The C++ type of each sample type.
template <class T>
struct SampleTraits;
#define CHANSRC_SAMPLE(T, VT)                       \
    template <>                                     \
    struct SampleTraits<T> {                        \
        static constexpr VARTYPE vt = VT;           \
    };
CHANSRC_SAMPLE(int8_t, VT_I1)
CHANSRC_SAMPLE(uint8_t, VT_UI1)
CHANSRC_SAMPLE(int16_t, VT_I2)
CHANSRC_SAMPLE(uint16_t, VT_UI2)
CHANSRC_SAMPLE(int32_t, VT_I4)
CHANSRC_SAMPLE(uint32_t, VT_UI4)
CHANSRC_SAMPLE(float, VT_R4)
CHANSRC_SAMPLE(double, VT_R8)
#undef CHANSRC_SAMPLE

using SampleTypes = ::testing::Types<int8_t, uint8_t, int16_t, uint16_t, int32_t, uint32_t, float, double>;

// A value for sample i that differs from its neighbours, negative where the
// type allows, fractional for floats.
template <class T>
T SampleAt(uint64_t i)
{
    if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(static_cast<double>(i % 100000) * 0.5 - 1234.25);
    else
        return static_cast<T>(i * 2654435761u + 7);
}

template <class T>
std::vector<T> Samples(uint64_t count, uint64_t first = 0)
{
    std::vector<T> v(count);
    for (uint64_t i = 0; i < count; ++i)
        v[i] = SampleAt<T>(first + i);
    return v;
}

template <class T>
std::vector<uint8_t> Bytes(const std::vector<T>& v)
{
    std::vector<uint8_t> b(v.size() * sizeof(T));
    if (!b.empty())
        std::memcpy(b.data(), v.data(), b.size());
    return b;
}

// An owned array of vt with the given elements (caller destroys it).
template <class T>
SAFEARRAY* MakeArray(const std::vector<T>& v)
{
    SAFEARRAY* psa = SafeArrayCreateVector(SampleTraits<T>::vt, 0, static_cast<uint32_t>(v.size()));
    if (psa && !v.empty())
        std::memcpy(psa->pvData, v.data(), v.size() * sizeof(T));
    return psa;
}

template <class T>
const T* ArrayAt(SAFEARRAY* psa)
{
    return static_cast<const T*>(psa->pvData);
}

// A variant of VT_ARRAY | vt that wraps psa without owning it.
inline VARIANT ArrayVariant(SAFEARRAY* psa, VARTYPE vt)
{
    VARIANT v;
    v.vt = VT_ARRAY | vt;
    v.parray = psa;
    return v;
}

template <class T>
T VariantValue(const VARIANT& v)
{
    EXPECT_EQ(v.vt, SampleTraits<T>::vt);
    T value{};
    std::memcpy(&value, &v.ullVal, sizeof(T));
    return value;
}

// Owner of a safe array for a test's life.
class ArrayHolder {
public:
    explicit ArrayHolder(SAFEARRAY* psa) : m_psa(psa) {}
    ~ArrayHolder() { SafeArrayDestroy(m_psa); }
    ArrayHolder(const ArrayHolder&) = delete;
    ArrayHolder& operator=(const ArrayHolder&) = delete;
    SAFEARRAY* get() const { return m_psa; }

private:
    SAFEARRAY* m_psa;
};

// Reads `frames` frames from `offset` into one vector through the source's
// GetChannelData in chunks of `chunk` frames, as the control does.
template <class T>
std::vector<T> ReadAll(IScopeTQ8ChannelSource* src, uint32_t channels, uint64_t offset, uint64_t frames,
                       uint32_t chunk, HRESULT* result = nullptr, IScopeTQ8ChannelArbiter* arbiter = nullptr)
{
    std::vector<T> out;
    ArrayHolder buffer(SafeArrayCreateVector(SampleTraits<T>::vt, 0, chunk * channels));
    VARIANT v = ArrayVariant(buffer.get(), SampleTraits<T>::vt);
    HRESULT hr = sourcefetch::ReadSourceChunks(src, arbiter, 0, offset, frames, chunk, &v,
                                               [&](const sourcefetch::Chunk& c) {
                                                   const T* p = static_cast<const T*>(c.data);
                                                   out.insert(out.end(), p, p + uint64_t(c.frames) * channels);
                                                   return S_OK;
                                               });
    if (result)
        *result = hr;
    else
        EXPECT_FALSE(FAILED(hr)) << std::hex << hr;
    return out;
}
