#include <QLabel>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "CDeviceSelStandInDlg.h"
#include "DevMgrTestSupport.h"
#include "ErrorBeep.h"


namespace {

QTreeWidget* ListOf(QDialog* d)
{
    return d->findChild<QTreeWidget*>();
}

class CDeviceSelStandInDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devmgr_test::EnsureQtApp();
        previousBeep = vlt::SetErrorBeepHandler([this] { ++beeps; });
    }
    void TearDown() override
    {
        devices.CloseAllDevices();
        vlt::SetErrorBeepHandler(previousBeep);
        if (devmgr_test::SimulatorAvailable())
            TQ8Sim_Reset();
    }
    void ConnectBoards(int count)
    {
        DEVMGR_REQUIRE_SIMULATOR();
        TQ8Sim_Reset();
        for (int i = 0; i < count; ++i)
            boards.push_back(devices.ConnectVirtualDevice());
    }

    CDeviceManagerTQ8 devices;
    std::vector<TQ8_HANDLE> boards;
    int beeps = 0;
    std::function<void()> previousBeep;
};

} // namespace

TEST_F(CDeviceSelStandInDlgTest, NoCandidateEndsAtOnceWithCancel)
{
    CDeviceSelStandInDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelNoDeviceRow);
    bool shown = false;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        shown = true;
        d->accept();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_FALSE(shown);
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(dlg.GetSelection().empty());
    QApplication::processEvents();
}

TEST_F(CDeviceSelStandInDlgTest, RowsAndTheNoDeviceChoice)
{
    ConnectBoards(2);
    CDeviceSelStandInDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelNoDeviceRow);
    QStringList rows;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        QTreeWidget* list = ListOf(d);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        d->accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], "<No device>|---");
    EXPECT_EQ(rows[1], QString("TQ3300 #%1|Virtual Device").arg(devices.GetSerialNumber(boards[0])));
    EXPECT_EQ(dlg.GetSelection(), std::set<TQ8_HANDLE>{nullptr});
}

TEST_F(CDeviceSelStandInDlgTest, SingleSelectionKeepsOnePreselectedRow)
{
    ConnectBoards(3);
    CDeviceSelStandInDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelSingle);
    for (TQ8_HANDLE h : boards)
        dlg.SetDeviceSelected(h, true);
    int selected = -1;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        selected = static_cast<int>(ListOf(d)->selectedItems().size());
        d->accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(dlg.GetSelection().size(), 1u);
}

TEST_F(CDeviceSelStandInDlgTest, ExclusionPreselectionPromptAndFile)
{
    ConnectBoards(3);
    CDeviceSelStandInDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, 0);
    dlg.ExcludeDevice(boards[0]);
    dlg.ExcludeDevice(nullptr);
    dlg.SetDeviceSelected(boards[1], true);
    dlg.SetDeviceSelected(boards[2], true);
    dlg.SetDeviceSelected(boards[1], false);
    dlg.SetPrompt(L"Apply the settings to which board?");
    dlg.SetFileName(L"/data/board.tq8set");
    int rows = 0;
    bool promptShown = false;
    bool fileShown = false;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        rows = ListOf(d)->topLevelItemCount();
        for (QLabel* label : d->findChildren<QLabel*>()) {
            if (label->text() == "Apply the settings to which board?")
                promptShown = label->isVisible();
            if (label->text() == "/data/board.tq8set")
                fileShown = label->isVisible();
        }
        d->accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(rows, 2);
    EXPECT_TRUE(promptShown);
    EXPECT_TRUE(fileShown);
    EXPECT_EQ(dlg.GetSelection(), std::set<TQ8_HANDLE>{boards[2]});
}

TEST_F(CDeviceSelStandInDlgTest, NothingSelectedDisablesOkAndCancels)
{
    ConnectBoards(2);
    CDeviceSelStandInDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, 0);
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        ListOf(d)->clearSelection();
        d->accept();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_TRUE(dlg.GetSelection().empty());
}
