#include "ScopeWithSources.h"

#include "CComBSTR.h"

RegisteredLibrary* ScopeWithSources::s_lib = nullptr;

void ScopeWithSources::SetUpTestSuite()
{
    s_lib = new RegisteredLibrary(::testing::UnitTest::GetInstance()->current_test_suite()->name());
}

void ScopeWithSources::TearDownTestSuite()
{
    delete s_lib;
    s_lib = nullptr;
}

void ScopeWithSources::SetUp()
{
    Connect(scope, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(events.p));
}

uint32_t ScopeWithSources::Add(IScopeTQ8ChannelSource* src, uint32_t maxChannels, IScopeTQ8ChannelArbiter* arbiter)
{
    uint32_t id = kNone;
    EXPECT_EQ(scope->AddChannelSource2(src, arbiter, maxChannels, &id), S_OK);
    return id;
}

uint32_t ScopeWithSources::AddBuffer(uint32_t channels, uint32_t frames)
{
    buffers.push_back(std::make_unique<ArrayHolder>(MakeArray(Samples<uint8_t>(uint64_t(channels) * frames))));
    uint32_t id = kNone;
    EXPECT_EQ(scope->AddBufferChannelSource(CComBSTR(L"Snapshot"), ArrayVariant(buffers.back()->get(), VT_UI1),
                                            channels, 0, VARIANT_FALSE, &id),
              S_OK);
    return id;
}

uint32_t ScopeWithSources::First(uint32_t srcId)
{
    uint32_t chan = kNone;
    EXPECT_EQ(scope->GetFirstChannelIdForSource(srcId, &chan), S_OK);
    return chan;
}

std::vector<uint32_t> ScopeWithSources::Owners(uint32_t last)
{
    std::vector<uint32_t> owners;
    for (uint32_t chan = 0; chan <= last; ++chan) {
        uint32_t src = kNone;
        HRESULT hr = scope->GetSourceIdFromChanId(chan, &src);
        EXPECT_TRUE(hr == S_OK || hr == E_NOINTERFACE);
        owners.push_back(src);
    }
    return owners;
}

uint64_t ScopeWithSources::MaxSampleCount()
{
    uint64_t count = 0;
    EXPECT_EQ(scope->get_MaxSampleCount(&count), S_OK);
    return count;
}
