#pragma once
// A simulated system around the board driver: a virtual clock, the event
// log in memory, a bus with the driver loaded, and a user process. Every
// test ends with the driver's pool and common buffers all given back.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CSimBus.h"
#include "CUserProcess.h"
#include "EventLog.h"
#include "Hal.h"
#include "Pool.h"
#include "TQ8Driver.h"
#include "TQ8Ioctl.h"

class DriverTest : public ::testing::Test {
protected:
    using Handle = kern::CUserProcess::Handle;

    void SetUp() override
    {
        kern::SimUseVirtualClock(true);
        kern::SimSetEventLogFile("");
        kern::SimClearEventLog();
        m_bus = std::make_unique<kern::CSimBus>(Image());
    }

    void TearDown() override
    {
        m_process.reset();
        m_bus.reset();
        kern::SimClearFaults();
        EXPECT_TRUE(kern::SimPoolOutstanding().empty()) << "pool not given back";
        EXPECT_EQ(kern::SimCommonBuffersOutstanding(), 0);
    }

    static kern::DriverImage Image()
    {
        size_t count = 0;
        const kern::MessageTableEntry* table = DriverMessageTable(&count);
        return {u"vlt_tq8_64", DriverEntry, {table, count}};
    }

    static kern::CardSpec Card(uint32_t serial = 1001)
    {
        kern::CardSpec spec;
        spec.desc.kind = tq8::BoardKind::Local;
        spec.desc.serial = serial;
        return spec;
    }

    size_t Arrive(const kern::CardSpec& spec = Card())
    {
        size_t slot = 0;
        EXPECT_EQ(m_bus->Arrive(spec, &slot), kern::STATUS_SUCCESS);
        return slot;
    }

    TQ8_DEVICE_EXTENSION* Ext(size_t slot) { return Extension(m_bus->FunctionDevice(slot)); }

    Handle Open(const std::u16string& name, kern::NTSTATUS expected = kern::STATUS_SUCCESS)
    {
        Handle h = kern::CUserProcess::kInvalidHandle;
        EXPECT_EQ(m_process->Open(name, &h), expected);
        return h;
    }

    kern::NTSTATUS Ioctl(Handle h, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                         uint32_t* returned = nullptr)
    {
        return m_process->DeviceIoControl(h, code, in, inLen, out, outLen, returned);
    }

    template <class Record>
    kern::NTSTATUS Ioctl(Handle h, uint32_t code, Record& record, uint32_t* returned = nullptr)
    {
        return Ioctl(h, code, &record, sizeof record, &record, sizeof record, returned);
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const kern::LoggedEvent& e : kern::SimLoggedEvents())
            texts.push_back(e.message);
        return texts;
    }

    bool Logged(const std::string& message) const
    {
        for (const std::string& m : Messages())
            if (m == message)
                return true;
        return false;
    }

    std::unique_ptr<kern::CSimBus> m_bus;
    std::unique_ptr<kern::CUserProcess> m_process = std::make_unique<kern::CUserProcess>();
};
