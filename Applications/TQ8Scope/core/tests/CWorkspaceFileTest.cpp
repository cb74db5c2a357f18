// Reading a workspace file into its records, without boards or windows.
#include <gtest/gtest.h>

#include "CWorkspaceFile.h"

namespace {

CWorkspaceFile::Result Read(CWorkspaceFile& file, const std::string& text, std::string* reason = nullptr)
{
    std::string ignored;
    return file.ReadText(text, "ws.tq8ws", reason ? *reason : ignored);
}

} // namespace

TEST(CWorkspaceFile, EverySectionBecomesItsRecordsInFileOrder)
{
    CWorkspaceFile f;
    ASSERT_EQ(Read(f, "<tq8scope_workspace><Devices>"
                      "<Device Sn=\"7\" Virtual=\"1\" ><DocFlags>16448</DocFlags>"
                      "<DocState><plot_page_width>77</plot_page_width></DocState>"
                      "<LibSettings><TQ8Settings version=\"1\"><A>1</A></TQ8Settings></LibSettings></Device>"
                      "<Device Sn=\"x\" Remote=\"1\" Port=\"70000\" Server=\"pc\" ><LibSettings/></Device></Devices>"
                      "<DeviceMsRelations><Master Sn=\"7\" Cfg=\"1\"><Slave Cfg=\"2\">8</Slave><slave>z</slave>"
                      "</Master></DeviceMsRelations>"
                      "<ControllerRelations><Controller Sn=\"7\"><Controlled>8</Controlled></Controller>"
                      "</ControllerRelations>"
                      "<SyncDevices><SyncDevice Sn=\"5\" ><LibSettings><S/></LibSettings></SyncDevice></SyncDevices>"
                      "<SyncDeviceRelations><SyncRelation Sn=\"5\"><Output Idx=\"6\">7</Output><Output>7</Output>"
                      "</SyncRelation></SyncDeviceRelations>"
                      "<RecordingParameters><RecParamsImp><Flags>3</Flags><DurMs>x</DurMs>"
                      "<DeviceParams Sn=\"7\"><DestFileOpts><Fwp_ss>104</Fwp_ss><Pathname1>/r.rd8</Pathname1>"
                      "</DestFileOpts></DeviceParams><DeviceParams/></RecParamsImp></RecordingParameters>"
                      "</tq8scope_workspace>"),
              CWorkspaceFile::Result::Ok);
    ASSERT_EQ(f.devices.size(), 2u);
    const CWorkspaceFile::Device& first = f.devices[0];
    EXPECT_TRUE(first.valid && first.isVirtual && !first.remote);
    EXPECT_EQ(first.serial, 7u);
    EXPECT_EQ(first.docFlags, 16448u);
    EXPECT_EQ(first.state.PlotPageWidth, 77u);
    EXPECT_EQ(first.state.DataSampleCount, 32768u);
    EXPECT_EQ(first.settingsState, CWorkspaceFile::Settings::Present);
    EXPECT_EQ(first.settings, "<TQ8Settings version=\"1\"><A>1</A></TQ8Settings>");
    const CWorkspaceFile::Device& second = f.devices[1];
    EXPECT_FALSE(second.valid);
    EXPECT_TRUE(second.remote);
    EXPECT_FALSE(second.locationValid); // the port is no 16-bit number
    EXPECT_EQ(second.docFlags, 0x40u);
    EXPECT_EQ(second.settingsState, CWorkspaceFile::Settings::Missing);

    ASSERT_EQ(f.masters.size(), 1u);
    EXPECT_EQ(f.masters[0].cfg, std::optional<std::string>("1"));
    ASSERT_EQ(f.masters[0].slaves.size(), 2u);
    EXPECT_TRUE(f.masters[0].slaves[0].valid);
    EXPECT_EQ(f.masters[0].slaves[0].serial, 8u);
    EXPECT_EQ(f.masters[0].slaves[0].cfg, std::optional<std::string>("2"));
    EXPECT_FALSE(f.masters[0].slaves[1].valid);
    ASSERT_EQ(f.controllers.size(), 1u);
    EXPECT_EQ(f.controllers[0].controlled.at(0).serial, 8u);

    EXPECT_TRUE(f.hasSyncSection);
    ASSERT_EQ(f.syncDevices.size(), 1u);
    EXPECT_EQ(f.syncDevices[0].settings, "<S/>");
    ASSERT_EQ(f.syncRelations.at(0).outputs.size(), 2u);
    EXPECT_TRUE(f.syncRelations[0].outputs[0].valid);
    EXPECT_EQ(f.syncRelations[0].outputs[0].index, 6u);
    EXPECT_FALSE(f.syncRelations[0].outputs[1].valid); // no Idx

    ASSERT_TRUE(f.hasRecordingParameters);
    const RecParamsRecords& r = f.recordingParameters;
    EXPECT_EQ(r.flags, std::optional<uint32_t>(3));
    EXPECT_FALSE(r.durMs.has_value());
    ASSERT_EQ(r.devices.size(), 2u);
    EXPECT_TRUE(r.devices[0].valid && r.devices[0].optionsValid);
    EXPECT_EQ(r.devices[0].options.Pathname1, L"/r.rd8");
    EXPECT_FALSE(r.devices[1].valid);
}

TEST(CWorkspaceFile, DamagedAndForeignTextsAreToldApartQuietly)
{
    CWorkspaceFile f;
    std::string reason;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Read(f, "<TQ8Scope_Workspace>\n<Devices>", &reason), CWorkspaceFile::Result::Unreadable);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(reason.rfind("'ws.tq8ws' is not well-formed XML (line 2: ", 0), 0u) << reason;
    CWorkspaceFile other;
    EXPECT_EQ(Read(other, "<OtherRoot/>"), CWorkspaceFile::Result::NotWorkspace);
    CWorkspaceFile empty;
    ASSERT_EQ(Read(empty, "<TQ8Scope_Workspace/>"), CWorkspaceFile::Result::Ok);
    EXPECT_TRUE(empty.devices.empty());
    EXPECT_FALSE(empty.hasSyncSection);
    EXPECT_FALSE(empty.hasRecordingParameters);
}
