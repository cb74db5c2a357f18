#include "CRegCacheDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>

#include "AtomicFile.h"
#include "DocToolsFixture.h"
#include "DocumentToolWindows.h"
#include "FileDialog.h"

using doc_tools_test::BoardName;
using doc_tools_test::ToQt;

namespace {

class RegCacheTest : public doc_tools_test::DocToolsTest {
protected:
    void SetUp() override
    {
        DocToolsTest::SetUp();
        CRegCacheDlg::SetRememberedFromHardware(false);
    }
    void TearDown() override
    {
        vlt::SetFileDialogHandler({});
        CRegCacheDlg::SetRememberedFromHardware(false);
        DocToolsTest::TearDown();
    }
    static QTreeWidget* Tree(CRegCacheDlg& dlg) { return dlg.findChild<QTreeWidget*>("registerTree"); }
    static QCheckBox* Box(CRegCacheDlg& dlg) { return dlg.findChild<QCheckBox*>("readFromHardware"); }
    static void Click(CRegCacheDlg& dlg, const char* name)
    {
        QTest::mouseClick(dlg.findChild<QPushButton*>(name), Qt::LeftButton);
    }
    std::unique_ptr<CRegCacheDlg> Open(std::vector<int32_t>* flags = nullptr)
    {
        auto dlg = std::make_unique<CRegCacheDlg>(nullptr, NewDoc().GetDeviceHandle());
        if (flags)
            dlg->SetRefresher([flags](TQ8_HANDLE h, int32_t fromHardware) {
                flags->push_back(fromHardware);
                return RefreshLocalRegisterCacheTQ8(h, fromHardware);
            });
        return dlg;
    }
};

} // namespace

TEST_F(RegCacheTest, OpensOnTheCacheWithoutRefreshing)
{
    ASSERT_EQ(TQ8Sim_InjectResult("RefreshLocalRegisterCacheTQ8", -9, 1), TQ8_OK);
    auto dlg = Open();
    EXPECT_EQ(dlg->windowTitle(), ToQt(L"TQ3300 Register Cache - " + BoardName(docs[0]->GetDeviceHandle())));
    QTreeWidget* tree = Tree(*dlg);
    ASSERT_EQ(tree->topLevelItemCount(), 5);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Device Registers");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "Clock Generation Registers 1");
    EXPECT_EQ(tree->topLevelItem(4)->text(0), "ADC2 Registers");
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 16);
    EXPECT_TRUE(dlg->findChild<QLabel*>("lastUpdate")->text().startsWith("Last update: "));
    // The injected failure is still waiting: opening did not refresh.
    Click(*dlg, "refreshCache");
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to refresh register cache: ", 0), 0u);
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
}

TEST_F(RegCacheTest, SetThatCannotBeFetchedSaysSo)
{
    ASSERT_EQ(TQ8Sim_InjectResult("GetRegSetTQ8", -9, 1), TQ8_OK);
    auto dlg = Open();
    QTreeWidgetItem* group = Tree(*dlg)->topLevelItem(0);
    ASSERT_EQ(group->childCount(), 1);
    EXPECT_EQ(group->child(0)->text(0), "Failed to get");
    EXPECT_EQ(group->child(0)->data(0, CRegCacheDlg::kValueRole).toUInt(), 0u);
    EXPECT_GT(Tree(*dlg)->topLevelItem(1)->childCount(), 60);
}

TEST_F(RegCacheTest, RefreshPassesTheBoxNotTheRememberedState)
{
    std::vector<int32_t> flags;
    CRegCacheDlg::SetRememberedFromHardware(true);
    auto dlg = Open(&flags);
    EXPECT_TRUE(Box(*dlg)->isChecked());
    Box(*dlg)->setChecked(false);
    Click(*dlg, "refreshCache");
    Box(*dlg)->setChecked(true);
    CRegCacheDlg::SetRememberedFromHardware(false);
    Click(*dlg, "refreshCache");
    EXPECT_EQ(flags, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(RegCacheTest, BoxIsRememberedOnlyAfterOk)
{
    auto first = Open();
    Box(*first)->setChecked(true);
    first->reject();
    EXPECT_FALSE(CRegCacheDlg::RememberedFromHardware());
    EXPECT_FALSE(Box(*Open())->isChecked());
    Click(*first, "ok");
    EXPECT_TRUE(CRegCacheDlg::RememberedFromHardware());
    EXPECT_TRUE(Box(*Open())->isChecked());
}

TEST_F(RegCacheTest, ExpansionSurvivesRefreshUntilCollapsed)
{
    auto dlg = Open();
    QTreeWidget* tree = Tree(*dlg);
    tree->topLevelItem(2)->setExpanded(true);
    tree->topLevelItem(2)->child(0)->setExpanded(true);
    const uint32_t number = tree->topLevelItem(2)->data(0, CRegCacheDlg::kValueRole).toUInt();
    EXPECT_TRUE(dlg->ExpandedLines().count(int32_t(number)));
    ASSERT_TRUE(dlg->Refresh());
    EXPECT_TRUE(tree->topLevelItem(2)->isExpanded());
    EXPECT_TRUE(tree->topLevelItem(2)->child(0)->isExpanded());
    EXPECT_FALSE(tree->topLevelItem(1)->isExpanded());
    tree->topLevelItem(2)->setExpanded(false);
    EXPECT_FALSE(dlg->ExpandedLines().count(int32_t(number)));
    ASSERT_TRUE(dlg->Refresh());
    EXPECT_FALSE(tree->topLevelItem(2)->isExpanded());
}

TEST_F(RegCacheTest, ColoursFollowTheItemValues)
{
    auto dlg = Open();
    int coloured = 0;
    for (QTreeWidgetItemIterator it(Tree(*dlg)); *it; ++it) {
        const uint32_t value = (*it)->data(0, CRegCacheDlg::kValueRole).toUInt();
        if (!(value & CRegisterLines::kColourFlag))
            continue;
        ++coloured;
        const QColor c = (*it)->foreground(0).color();
        EXPECT_EQ(uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16, value & 0xFFFFFFu);
    }
    EXPECT_GT(coloured, 0);
}

TEST_F(RegCacheTest, ExportWritesEveryLineWithCrLf)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tq8_regdump_test";
    std::filesystem::create_directories(dir);
    const std::wstring path = (dir / "dump.txt").wstring();
    vlt::FileDialogRequest seen;
    vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) -> std::optional<std::wstring> {
        seen = r;
        return path;
    });
    auto dlg = Open();
    Click(*dlg, "exportDump");
    EXPECT_FALSE(seen.open);
    EXPECT_EQ(seen.fileName, L"TQ3300 Register Dump");
    EXPECT_EQ(seen.defaultExt, L"txt");
    EXPECT_TRUE(seen.overwritePrompt);
    std::string data;
    ASSERT_TRUE(vlt::ReadWholeFile((dir / "dump.txt").string(), data));
    EXPECT_EQ(data, dlg->Lines().ExportText());
    EXPECT_EQ(data.rfind("Device Registers\r\n   Register 00 (0x", 0), 0u);
    EXPECT_NE(data.find("\r\nADC2 Registers\r\n   Register 0 (0x"), std::string::npos);
    EXPECT_NE(data.find("\r\n      seg_size   : 0x"), std::string::npos);
    EXPECT_NE(data.find("\r\n         64-bit timestamp value: 0x"), std::string::npos);
    size_t lines = 0;
    for (size_t at = data.find('\n'); at != std::string::npos; at = data.find('\n', at + 1)) {
        EXPECT_EQ(data[at - 1], '\r');
        ++lines;
    }
    EXPECT_EQ(lines, dlg->Lines().Lines().size());
    std::filesystem::remove_all(dir);
}

TEST_F(RegCacheTest, ExportThatCannotBeWrittenIsReported)
{
    vlt::SetFileDialogHandler([](const vlt::FileDialogRequest&) -> std::optional<std::wstring> {
        return std::wstring(L"/nonexistent-dir-tq8/dump.txt");
    });
    auto dlg = Open();
    EXPECT_FALSE(dlg->Export());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to write the register dump: ", 0), 0u);
}

TEST_F(RegCacheTest, CannotShrinkBelowItsFirstSize)
{
    auto dlg = Open();
    dlg->show();
    const QSize first = dlg->size();
    dlg->resize(first.width() / 2, first.height() / 2);
    EXPECT_GE(dlg->width(), first.width());
    EXPECT_GE(dlg->height(), first.height());
    dlg->resize(first.width() + 100, first.height() + 80);
    EXPECT_GT(Tree(*dlg)->width(), 0);
}

TEST_F(RegCacheTest, DocumentMakesEachWindowOnceAndToggles)
{
    RegisterDocumentToolWindows();
    CMainDoc& doc = NewDoc();
    using Open = void (CMainDoc::*)();
    using Get = QWidget* (CMainDoc::*)() const;
    const std::pair<Open, Get> kinds[] = {{&CMainDoc::OnViewRegisterCache, &CMainDoc::GetRegisterCacheWindow},
                                          {&CMainDoc::OnSerialDeviceRegisterIo, &CMainDoc::GetSerialDeviceIoWindow}};
    for (const auto& [open, get] : kinds) {
        (doc.*open)();
        QWidget* window = (doc.*get)();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        (doc.*open)();
        EXPECT_EQ((doc.*get)(), window);
        EXPECT_TRUE(window->isHidden());
        (doc.*open)();
        EXPECT_TRUE(window->isVisible());
        window->showMinimized();
        (doc.*open)();
        EXPECT_FALSE(window->isMinimized());
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(RegCacheTest, DocumentReportsAWindowThatCannotBeMade)
{
    CMainDoc::Factories().registerCache = [](CMainDoc&, QWidget*) -> QWidget* { return nullptr; };
    CMainDoc::Factories().serialDeviceIo = [](CMainDoc&, QWidget*) -> QWidget* { return nullptr; };
    CMainDoc& doc = NewDoc();
    doc.OnViewRegisterCache();
    EXPECT_EQ(boxes.LastText(), L"Failed to create Register Cache window");
    doc.OnSerialDeviceRegisterIo();
    EXPECT_EQ(boxes.LastText(), L"Failed to create SD Register IO window");
    EXPECT_EQ(doc.GetRegisterCacheWindow(), nullptr);
    EXPECT_EQ(doc.GetSerialDeviceIoWindow(), nullptr);
}
