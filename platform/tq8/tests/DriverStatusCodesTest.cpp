#include <gtest/gtest.h>

#include "DriverStatusCodes.h"
#include "ErrorTexts.h"
#include "DriverInterface.h"
#include "TQ8_64.h"

using namespace kern;
using namespace wdm;
using tq8::FromDriverStatus;

namespace {
// Every failure the driver completes a request with.
constexpr NTSTATUS kDriverFailures[] = {
    STATUS_INFO_LENGTH_MISMATCH, STATUS_INVALID_PARAMETER, STATUS_ACCESS_VIOLATION,
    STATUS_ACCESS_DENIED, TQ8_STATUS_NO_WINDOW, STATUS_INSUFFICIENT_RESOURCES,
    TQ8_STATUS_TIMED_OUT, TQ8_STATUS_WRONG_MODE, TQ8_STATUS_BAD_WAIT_KIND_OR_MODE,
    TQ8_STATUS_BAD_KIND, TQ8_STATUS_BAD_GROUP_OR_START, TQ8_STATUS_BAD_COUNT,
    TQ8_STATUS_NO_BUFFER0, TQ8_STATUS_BAD_DELAY_BEFORE, TQ8_STATUS_BAD_DELAY_AFTER,
    TQ8_STATUS_ACQUISITION_UNFINISHED, STATUS_CANCELLED, TQ8_STATUS_BUSY,
    TQ8_STATUS_NO_CLOCK_LOCK, TQ8_STATUS_NO_COMMON_BUFFER, TQ8_STATUS_TRANSFER_TOO_LONG,
    TQ8_STATUS_BAD_REGISTER_INDEX, TQ8_STATUS_NO_SUCH_BUFFER, STATUS_DEVICE_NOT_READY,
};
} // namespace

TEST(DriverStatusCodes, EveryDriverFailureHasItsOwnMeaning)
{
    for (NTSTATUS status : kDriverFailures) {
        tq8::DriverResult r = FromDriverStatus(status);
        EXPECT_LT(r.code, 0) << std::hex << status;
        EXPECT_NE(r.code, TQ8_ERR_DRIVER_FAILURE) << std::hex << status;
        EXPECT_FALSE(r.text.empty()) << std::hex << status;
        EXPECT_EQ(r.text.find(L"Driver error"), std::wstring::npos);
    }
}

TEST(DriverStatusCodes, StatusesTheLibraryActsOn)
{
    EXPECT_EQ(FromDriverStatus(STATUS_SUCCESS).code, TQ8_OK);
    EXPECT_EQ(FromDriverStatus(STATUS_CANCELLED).code, TQ8_ERR_CANCELLED);
    EXPECT_EQ(FromDriverStatus(TQ8_STATUS_TIMED_OUT).code, TQ8_ERR_TIMEOUT);
    EXPECT_EQ(FromDriverStatus(TQ8_STATUS_BUSY).code, TQ8_ERR_BUSY);
    EXPECT_EQ(FromDriverStatus(TQ8_STATUS_WRONG_MODE).code, TQ8_ERR_WRONG_MODE);
    EXPECT_EQ(FromDriverStatus(STATUS_NO_SUCH_DEVICE).code, TQ8_ERR_DEVICE_REMOVED);
    EXPECT_EQ(FromDriverStatus(STATUS_DELETE_PENDING).code, TQ8_ERR_DEVICE_REMOVED);
}

TEST(DriverStatusCodes, UnknownStatusIsAFailureNamingIt)
{
    tq8::DriverResult r = FromDriverStatus(STATUS_UNSUCCESSFUL);
    EXPECT_EQ(r.code, TQ8_ERR_DRIVER_FAILURE);
    EXPECT_EQ(r.text, L"Driver error 0xC0000001");
    EXPECT_EQ(FromDriverStatus(MakeStatus(0xC00000DE)).text, L"Driver error 0xC00000DE");
}

TEST(DriverStatusCodes, NoOtherStatusPassesAsSuccess)
{
    // Informational and warning statuses are not a completed request either.
    for (NTSTATUS status : {STATUS_PENDING, STATUS_TIMEOUT, STATUS_DEVICE_BUSY, MakeStatus(1)})
        EXPECT_EQ(FromDriverStatus(status).code, TQ8_ERR_DRIVER_FAILURE) << std::hex << status;
}

TEST(DriverStatusCodes, NewCodesHaveTexts)
{
    ASSERT_NE(tq8::ErrorText(TQ8_ERR_DRIVER_FAILURE), nullptr);
    ASSERT_NE(tq8::ErrorText(TQ8_ERR_DEVICE_REMOVED), nullptr);
}
