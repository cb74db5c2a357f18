#include <functional>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "CDeviceSelDlg.h"
#include "DevMgrTestSupport.h"
#include "ErrorBeep.h"


namespace {

QTreeWidget* ListOf(QDialog* d)
{
    return d->findChild<QTreeWidget*>();
}

class CDeviceSelDlgTest : public ::testing::Test {
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

TEST_F(CDeviceSelDlgTest, NoCandidateEndsAtOnceWithCancel)
{
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelNoDeviceRow);
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

TEST_F(CDeviceSelDlgTest, RowsAndTheNoDeviceChoice)
{
    ConnectBoards(2);
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelNoDeviceRow);
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

TEST_F(CDeviceSelDlgTest, SingleSelectionKeepsOnePreselectedRow)
{
    ConnectBoards(3);
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelSingle);
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

TEST_F(CDeviceSelDlgTest, ExclusionPreselectionPromptAndFile)
{
    ConnectBoards(3);
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, 0);
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

TEST_F(CDeviceSelDlgTest, NothingSelectedDisablesOkAndCancels)
{
    ConnectBoards(2);
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, 0);
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        ListOf(d)->clearSelection();
        d->accept();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_TRUE(dlg.GetSelection().empty());
}

TEST_F(CDeviceSelDlgTest, OkFollowsTheSelection)
{
    ConnectBoards(2);
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, 0);
    bool enabledAfterClear = true;
    bool enabledAfterPick = false;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        QPushButton* ok = nullptr;
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == "OK")
                ok = b;
        ListOf(d)->clearSelection();
        enabledAfterClear = ok->isEnabled();
        ListOf(d)->topLevelItem(1)->setSelected(true);
        enabledAfterPick = ok->isEnabled();
        d->accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_FALSE(enabledAfterClear);
    EXPECT_TRUE(enabledAfterPick);
    EXPECT_EQ(dlg.GetSelection(), std::set<TQ8_HANDLE>{boards[1]});
}

TEST_F(CDeviceSelDlgTest, DeviceManagerAsksThroughTheRegisteredDialog)
{
    ConnectBoards(3);
    devices.SetInteractive(true);
    const auto previous = CDeviceManagerTQ8::SelectionDialogFactory();
    CDeviceSelDlg::Register();
    QString title;
    int rows = 0;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        title = d->windowTitle();
        rows = ListOf(d)->topLevelItemCount();
        ListOf(d)->selectAll();
        d->accept();
    });
    CDeviceManagerTQ8::HandleList chosen;
    const bool ok = devices.SelectDevices(chosen, CDeviceManagerTQ8::kAllDevices, 0, nullptr, {boards[1]});
    CDeviceManagerTQ8::SelectionDialogFactory() = previous;
    ASSERT_TRUE(ok);
    EXPECT_EQ(title, "TQ3300 Device Selection");
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(chosen, (CDeviceManagerTQ8::HandleList{boards[0], boards[2]}));
}

TEST_F(CDeviceSelDlgTest, ColumnsShareTheShownListsWidth)
{
    ConnectBoards(1);
    CDeviceSelDlg dlg(&devices, nullptr, CDeviceManagerTQ8::kAllDevices, 0);
    int viewport = 0;
    int device = 0;
    int type = 0;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        QTreeWidget* list = ListOf(d);
        viewport = list->viewport()->width();
        device = list->columnWidth(0);
        type = list->columnWidth(1);
        d->accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    // The widths come from the list as laid out, not from its size before the first show.
    EXPECT_EQ(device, viewport / 2 - 16);
    EXPECT_GE(type, viewport / 2 - 16);
    // The header spans the list.
    EXPECT_EQ(device + type, viewport);
}
