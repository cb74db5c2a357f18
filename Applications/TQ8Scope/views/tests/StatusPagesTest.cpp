#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CForm_FPGAProc.h"
#include "CForm_Remote.h"
#include "CForm_Status.h"
#include "CForm_ZAB.h"
#include "EnumTexts.h"
#include "FormTestSupport.h"
#include "RemoteTestHost.h"
#include "TestSupport.h"

namespace {

using form_test::FormDoc;

class StatusPagesTest : public form_test::FormTest {
protected:
    static QString Text(CSettingFormView& form, int id)
    {
        if (auto* label = form.ItemAs<QLabel>(id))
            return label->text();
        return form.ItemAs<QLineEdit>(id)->text();
    }
    static void Click(CSettingFormView& form, int id) { form.ItemAs<QAbstractButton>(id)->click(); }
    FormDoc& BoardWithoutZab()
    {
        return NewLocalDoc(kSerial + 7, [](TQ8SIM_BOARD_DESC& desc) { desc.features &= ~TQ8_FEATURE_ZAB; });
    }
};

TEST_F(StatusPagesTest, FlagsShowDashesUntilRefreshAndThenTheirStates)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_Status>(doc);
    for (int id : {CForm_Status::kPllLockId, CForm_Status::kRamFifoId, CForm_Status::kTimestampFifoId, CForm_Status::kSamplesCompleteId})
        EXPECT_EQ(Text(form, id), QStringLiteral("---"));
    Click(form, CForm_Status::kRefreshId);
    EXPECT_EQ(Text(form, CForm_Status::kPllLockId), GetPllLockStatusTQ8(doc.GetDeviceHandle()) ? QStringLiteral("Locked")
                                                                           : QStringLiteral("** Unlocked **"));
    EXPECT_EQ(Text(form, CForm_Status::kRamFifoId), QStringLiteral("Not full"));
    EXPECT_FALSE(form.Item(CForm_Status::kSamplesCompleteId)->isEnabled());
}

TEST_F(StatusPagesTest, EachFailedFlagReadShowsUnknown)
{
    auto& form = NewForm<CForm_Status>(NewDoc());
    for (const char* fn : {"GetPllLockStatusTQ8", "GetFifoFullFlagTQ8", "GetTimestampOverflowFlagTQ8",
                           "GetSamplesCompleteFlagTQ8"})
        TQ8Sim_InjectResult(fn, -5, 1);
    Click(form, CForm_Status::kRefreshId);
    for (int id : {CForm_Status::kPllLockId, CForm_Status::kRamFifoId, CForm_Status::kTimestampFifoId, CForm_Status::kSamplesCompleteId})
        EXPECT_EQ(Text(form, id), QStringLiteral("<Unknown>")) << id;
    TQ8Sim_InjectResult("GetTimestampAvailabilityTQ8", -5, 1);
    Click(form, CForm_Status::kRefreshId);
    EXPECT_EQ(Text(form, CForm_Status::kTimestampFifoId), QStringLiteral("<Unknown>"));
    Click(form, CForm_Status::kRefreshId);
    EXPECT_NE(Text(form, CForm_Status::kPllLockId), QStringLiteral("<Unknown>"));
}

TEST_F(StatusPagesTest, OldFirmwareHasNoTimestampOverflowFlag)
{
    auto& form = NewForm<CForm_Status>(NewDoc());
    TQ8Sim_InjectResult("GetTimestampOverflowFlagTQ8", CForm_Status::kNoOverflowSupport, 1);
    Click(form, CForm_Status::kRefreshId);
    EXPECT_EQ(Text(form, CForm_Status::kTimestampFifoId), QStringLiteral("N/A (Update firmware)"));
    TQ8Sim_InjectResult("GetTimestampOverflowFlagTQ8", 1, 1);
    Click(form, CForm_Status::kRefreshId);
    EXPECT_EQ(Text(form, CForm_Status::kTimestampFifoId), QStringLiteral("** Full **"));
}

TEST_F(StatusPagesTest, VirtualBoardHasEveryFeatureAndShowsItsZabLine)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_Status>(doc);
    const QString type = QString::fromWCharArray(ZabFpgaTypeToText(GetZabFpgaTypeTQ8(doc.GetDeviceHandle())));
    EXPECT_EQ(Text(form, CForm_Status::kZabPresentId), QStringLiteral("Yes (%1)").arg(type));
    EXPECT_FALSE(form.Item(CForm_Status::kZabVersionId)->isHidden());
    EXPECT_FALSE(Text(form, CForm_Status::kZabVersionId).isEmpty());
    EXPECT_EQ(Text(form, CForm_Status::kProcessArchId), QStringLiteral("64-bit"));
    EXPECT_FALSE(Text(form, CForm_Status::kDeviceClassId).isEmpty());
    std::wstring name;
    GetBoardNameString(doc.GetDeviceHandle(), name, TQ8_NAME_SET_DEVICE_CLASS);
    EXPECT_EQ(Text(form, CForm_Status::kDeviceClassId), QString::fromStdWString(name));
}

TEST_F(StatusPagesTest, BoardWithoutZabShowsNoAndNoZabLine)
{
    auto& form = NewForm<CForm_Status>(BoardWithoutZab());
    EXPECT_EQ(Text(form, CForm_Status::kZabPresentId), QStringLiteral("No"));
    EXPECT_TRUE(form.Item(CForm_Status::kZabVersionId)->isHidden());
    EXPECT_TRUE(form.Item(CForm_Status::kZabVersionLabelId)->isHidden());
}

TEST_F(StatusPagesTest, MissingVersionTextIsUnknown)
{
    FormDoc& doc = NewDoc();
    TQ8Sim_InjectResult("GetVersionTextWTQ8", -5, 1);
    auto& form = NewForm<CForm_Status>(doc);
    EXPECT_EQ(Text(form, CForm_Status::kSystemFpgaId), QStringLiteral("<Unknown>"));
    EXPECT_NE(Text(form, CForm_Status::kHardwareId), QStringLiteral("<Unknown>"));
}

TEST_F(StatusPagesTest, SystemArchitectureTexts)
{
    EXPECT_EQ(CForm_Status::SystemArchitectureText(QStringLiteral("x86_64")), QStringLiteral("64-bit (x64)"));
    EXPECT_EQ(CForm_Status::SystemArchitectureText(QStringLiteral("ia64")), QStringLiteral("64-bit (Itanium)"));
    EXPECT_EQ(CForm_Status::SystemArchitectureText(QStringLiteral("i386")), QStringLiteral("32-bit (x86)"));
    EXPECT_EQ(CForm_Status::SystemArchitectureText(QStringLiteral("arm64")), QStringLiteral("Unknown"));
}

TEST_F(StatusPagesTest, ZabCombosFollowTheBoardAndApply)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_ZAB>(doc);
    auto* number = form.ItemAs<QComboBox>(CForm_ZAB::kBoardNumberId);
    EXPECT_EQ(number->count(), 8);
    EXPECT_EQ(number->itemText(0), QStringLiteral("0 (ZAB disabled)"));
    Choose(number, 3);
    EXPECT_EQ(GetZabBoardNumberTQ8(doc.GetDeviceHandle(), 1), 3);
    EXPECT_EQ(doc.LastText(), L"ZAB board number setting updated");
    EXPECT_TRUE(doc.IsModified());
    SetZabClockTQ8(doc.GetDeviceHandle(), 2);
    doc.UpdateAllViews(dochint::kBoardSettings);
    EXPECT_EQ(form.ItemAs<QComboBox>(CForm_ZAB::kClockId)->currentIndex(), 2);
    TQ8Sim_InjectResult("SetZabConfigurationTQ8", -5, 1);
    Choose(form.ItemAs<QComboBox>(CForm_ZAB::kConfigurationId), 1);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(form.ItemAs<QComboBox>(CForm_ZAB::kConfigurationId)->currentIndex(), GetZabConfigurationTQ8(doc.GetDeviceHandle(), 1));
}

TEST_F(StatusPagesTest, LocalBoardHasNoRemoteServer)
{
    auto& form = NewForm<CForm_Remote>(NewDoc());
    EXPECT_EQ(Text(form, CForm_Remote::kServerId), QStringLiteral("---"));
    EXPECT_EQ(Text(form, CForm_Remote::kPortId), QStringLiteral("(Local device)"));
}

TEST_F(StatusPagesTest, RemoteBoardsShowTheirServerAndPort)
{
    const std::string root = srvtest::ScratchDir("views-remote-page");
    std::filesystem::create_directories(root);
    RemoteTestHost host(root);
    ASSERT_TRUE(host.Started());
    TQ8SIM_BOARD_DESC desc{};
    TQ8Sim_DefaultBoardDesc(&desc, kSerial + 9);
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    for (bool isVirtual : {false, true}) {
        TQ8_HANDLE device = devices->ConnectRemoteDevice(L"127.0.0.1", host.Port(), isVirtual ? 0 : kSerial + 9,
                                                         true, isVirtual);
        ASSERT_NE(device, nullptr) << isVirtual;
        ASSERT_EQ(IsDeviceRemoteTQ8(device), 1);
        auto& form = NewForm<CForm_Remote>(NewDoc(device));
        EXPECT_EQ(Text(form, CForm_Remote::kServerId), QStringLiteral("127.0.0.1")) << isVirtual;
        EXPECT_EQ(Text(form, CForm_Remote::kPortId), QString::number(host.Port())) << isVirtual;
    }
    // Disconnected before the host goes.
    window.reset();
    docs.clear();
    devices.reset();
    std::filesystem::remove_all(root);
}

TEST_F(StatusPagesTest, FailedServerQueryKeepsDashes)
{
    FormDoc& doc = NewDoc();
    TQ8Sim_InjectResult("GetHostServerInfoWTQ8", -5, 1);
    auto& form = NewForm<CForm_Remote>(doc);
    EXPECT_EQ(Text(form, CForm_Remote::kServerId), QStringLiteral("---"));
    EXPECT_EQ(Text(form, CForm_Remote::kPortId), QStringLiteral("---"));
}

TEST_F(StatusPagesTest, ParameterWriteRefusesValuesAbove65535)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FPGAProc>(doc);
    form.ItemAs<QLineEdit>(CForm_FPGAProc::kIndexId)->setText(QStringLiteral("3"));
    form.ItemAs<QLineEdit>(CForm_FPGAProc::kValueId)->setText(QStringLiteral("65536"));
    TQ8Sim_InjectResult("SetBoardProcessingParamTQ8", -5, 1);
    Click(form, CForm_FPGAProc::kWriteId);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Register value is too large. Please enter a number between 0 and 65535");
    form.ItemAs<QLineEdit>(CForm_FPGAProc::kIndexId)->setText(QStringLiteral("65536"));
    Click(form, CForm_FPGAProc::kWriteId);
    EXPECT_EQ(boxes.LastText(), L"Register index is too large. Please enter a number between 0 and 65535");
    form.ItemAs<QLineEdit>(CForm_FPGAProc::kIndexId)->setText(QStringLiteral("3"));
    form.ItemAs<QLineEdit>(CForm_FPGAProc::kValueId)->setText(QStringLiteral("65535"));
    Click(form, CForm_FPGAProc::kWriteId);
    // The injected failure is still waiting: the refused writes never called.
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(-5, L"Failed to write FPGA processing parameter: ",
                                                    doc.GetDeviceHandle()));
    Click(form, CForm_FPGAProc::kWriteId);
    EXPECT_EQ(doc.LastText(), L"FPGA processing parameter updated");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(StatusPagesTest, EnableReachesOtherViewsAndFailureRestoresTheBox)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FPGAProc>(doc);
    auto* other = new CForm_FPGAProc(doc, window.get());
    other->OnInitialUpdate();
    auto* box = form.ItemAs<QCheckBox>(CForm_FPGAProc::kEnableId);
    auto* otherBox = other->ItemAs<QCheckBox>(CForm_FPGAProc::kEnableId);
    const bool before = box->isChecked();
    box->click();
    EXPECT_EQ(otherBox->isChecked(), !before);
    EXPECT_EQ(GetBoardProcessingEnableTQ8(doc.GetDeviceHandle(), 1) != 0, !before);
    EXPECT_EQ(doc.LastText(), L"FPGA processing enable updated");
    box->click();
    EXPECT_EQ(otherBox->isChecked(), before);
    TQ8Sim_InjectResult("SetBoardProcessingEnableTQ8", -5, 1);
    box->click();
    EXPECT_EQ(box->isChecked(), before);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(doc.IsModified());
}

} // namespace
