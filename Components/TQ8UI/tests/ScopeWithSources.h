#pragma once
// A fresh control per test, with the library registered once per suite so
// that the control can make its own sources by ProgID, and a sink that hears
// its source events.
#include "ChanSrcTestSupport.h"
#include "ScopeTestSupport.h"

#include <memory>
#include <vector>

constexpr uint32_t kNone = 0xFFFFFFFF;

class ScopeWithSources : public ::testing::Test {
protected:
    // Registering writes the registry file many times over: once for the suite.
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // Adds src through AddChannelSource2 and gives its id.
    uint32_t Add(IScopeTQ8ChannelSource* src, uint32_t maxChannels = 0, IScopeTQ8ChannelArbiter* arbiter = nullptr);
    // Adds a buffer source over `frames` frames of 8-bit samples (Samples<uint8_t>).
    uint32_t AddBuffer(uint32_t channels, uint32_t frames);
    uint32_t First(uint32_t srcId);
    // The source of each channel id from 0 to last; kNone where there is no channel.
    std::vector<uint32_t> Owners(uint32_t last);
    uint64_t MaxSampleCount();

    static RegisteredLibrary* s_lib;
    std::vector<std::unique_ptr<ArrayHolder>> buffers; // outlive the control's sources
    CComPtr<IScopeTQ8> scope = NewScope();
    CComPtr<EventSink> events = MakeSink<EventSink>();
};
