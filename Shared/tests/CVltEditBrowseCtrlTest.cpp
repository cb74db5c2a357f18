#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "CVltEditBrowseCtrl.h"
#include "FileDialog.h"
#include "SharedTestApp.h"

namespace {

QApplication& App()
{
    return SharedTestApp();
}

// Answers every file dialog with a fixed result and keeps the requests.
class DialogAnswer {
public:
    explicit DialogAnswer(std::optional<std::wstring> answer)
    {
        m_previous = vlt::SetFileDialogHandler([this, answer](const vlt::FileDialogRequest& r) {
            m_requests.push_back(r);
            return answer;
        });
    }
    ~DialogAnswer() { vlt::SetFileDialogHandler(m_previous); }
    std::vector<vlt::FileDialogRequest> m_requests;

private:
    vlt::FileDialogHandler m_previous;
};

class EditBrowseTest : public ::testing::Test {
protected:
    EditBrowseTest()
    {
        m_ctrl = new CVltEditBrowseCtrl(&m_parent);
        m_ctrl->EnableFileBrowseButton(L"xsvf", L"XSVF Files (*.xsvf)|*.xsvf|All Files (*.*)|*.*||");
    }
    void Click() { QTest::mouseClick(m_ctrl->Button(), Qt::LeftButton); }

    struct AppFirst {
        AppFirst() { App(); }
    } m_app; // before any widget
    QWidget m_parent;
    CVltEditBrowseCtrl* m_ctrl;
};

int32_t Refuse(intptr_t data, CVltEditBrowseCtrl*)
{
    ++*reinterpret_cast<int*>(data);
    return 0;
}

int32_t Allow(intptr_t data, CVltEditBrowseCtrl*)
{
    ++*reinterpret_cast<int*>(data);
    return 1;
}

TEST_F(EditBrowseTest, Defaults)
{
    CVltEditBrowseCtrl plain;
    EXPECT_EQ(plain.GetMode(), CVltEditBrowseCtrl::BrowseMode_None);
    EXPECT_EQ(m_ctrl->GetMode(), CVltEditBrowseCtrl::BrowseMode_File);
}

TEST_F(EditBrowseTest, CallbackReturningZeroPreventsTheDialog)
{
    DialogAnswer dialog(std::wstring(L"/x/y.xsvf"));
    int calls = 0;
    m_ctrl->SetBrowseCallback(Refuse, reinterpret_cast<intptr_t>(&calls));
    Click();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(dialog.m_requests.empty());
    EXPECT_EQ(m_ctrl->GetText(), L"");

    m_ctrl->SetBrowseCallback(Allow, reinterpret_cast<intptr_t>(&calls));
    Click();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(dialog.m_requests.size(), 1u);
    EXPECT_EQ(m_ctrl->GetText(), L"/x/y.xsvf");

    m_ctrl->SetBrowseCallback(nullptr, 0);
    Click();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(dialog.m_requests.size(), 2u);
}

TEST_F(EditBrowseTest, EmptyEditStartsInDefaultFolder)
{
    DialogAnswer dialog(std::nullopt);
    m_ctrl->SetDefaultDir(L"  /data/fw \t");
    Click();
    ASSERT_EQ(dialog.m_requests.size(), 1u);
    const auto& r = dialog.m_requests[0];
    EXPECT_EQ(r.folder, L"/data/fw");
    EXPECT_EQ(r.fileName, L"");
    EXPECT_TRUE(r.open);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.defaultExt, L"xsvf");
    EXPECT_EQ(r.filter, L"XSVF Files (*.xsvf)|*.xsvf|All Files (*.*)|*.*||");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.title, L"");
    EXPECT_EQ(r.parent, &m_parent);
}

TEST_F(EditBrowseTest, PathInEditGivesFolderAndName)
{
    DialogAnswer dialog(std::nullopt);
    m_ctrl->SetDefaultDir(L"/data/fw");
    m_ctrl->SetText(L"/home/me/build/top.xsvf");
    QSignalSpy chosen(m_ctrl, &CVltEditBrowseCtrl::pathChosen);
    Click();
    ASSERT_EQ(dialog.m_requests.size(), 1u);
    EXPECT_EQ(dialog.m_requests[0].folder, L"/home/me/build");
    EXPECT_EQ(dialog.m_requests[0].fileName, L"top.xsvf");
    // Cancelled: the edit keeps its text.
    EXPECT_EQ(m_ctrl->GetText(), L"/home/me/build/top.xsvf");
    EXPECT_EQ(chosen.count(), 0);
}

TEST_F(EditBrowseTest, SaveModeTitleAndFilterIndex)
{
    DialogAnswer dialog(std::wstring(L"/out/pkg.tq8fw"));
    QSignalSpy chosen(m_ctrl, &CVltEditBrowseCtrl::pathChosen);
    m_ctrl->SetOpenMode(0);
    m_ctrl->SetFilterIndex(2);
    m_ctrl->SetDialogTitle(L"Choose");
    Click();
    ASSERT_EQ(dialog.m_requests.size(), 1u);
    EXPECT_FALSE(dialog.m_requests[0].open);
    EXPECT_TRUE(dialog.m_requests[0].overwritePrompt);
    EXPECT_EQ(dialog.m_requests[0].filterIndex, 2);
    EXPECT_EQ(dialog.m_requests[0].title, L"Choose");
    EXPECT_EQ(m_ctrl->GetText(), L"/out/pkg.tq8fw");
    EXPECT_EQ(chosen.count(), 1);
    m_ctrl->SetDialogTitle(nullptr);
    Click();
    EXPECT_EQ(dialog.m_requests[1].title, L"");
}

TEST_F(EditBrowseTest, OtherModesOpenNoFileDialog)
{
    DialogAnswer dialog(std::wstring(L"/x"));
    m_ctrl->EnableBrowseButton(true);
    EXPECT_EQ(m_ctrl->GetMode(), CVltEditBrowseCtrl::BrowseMode_Default);
    m_ctrl->OnBrowse();
    EXPECT_TRUE(dialog.m_requests.empty());
    m_ctrl->EnableBrowseButton(false);
    EXPECT_EQ(m_ctrl->GetMode(), CVltEditBrowseCtrl::BrowseMode_None);
    EXPECT_FALSE(m_ctrl->Button()->isVisibleTo(&m_parent));
}

TEST_F(EditBrowseTest, FolderModeAsksForAFolderFromTheEditsText)
{
    DialogAnswer dialog(std::wstring(L"/data/records"));
    QSignalSpy chosen(m_ctrl, &CVltEditBrowseCtrl::pathChosen);
    m_ctrl->EnableFolderBrowseButton();
    m_ctrl->SetOpenMode(0);
    m_ctrl->SetDialogTitle(L"Ignored");
    m_ctrl->SetText(L"/data/old");
    Click();
    ASSERT_EQ(dialog.m_requests.size(), 1u);
    EXPECT_TRUE(dialog.m_requests[0].chooseFolder);
    EXPECT_EQ(dialog.m_requests[0].folder, L"/data/old");
    EXPECT_EQ(dialog.m_requests[0].title, L"");
    EXPECT_EQ(dialog.m_requests[0].parent, &m_parent);
    EXPECT_EQ(m_ctrl->GetText(), L"/data/records");
    EXPECT_EQ(chosen.count(), 1);

    // Cancelled: the edit keeps its folder.
    DialogAnswer cancel(std::nullopt);
    Click();
    EXPECT_EQ(cancel.m_requests.size(), 1u);
    EXPECT_EQ(m_ctrl->GetText(), L"/data/records");
    EXPECT_EQ(chosen.count(), 1);
    // File requests are never folder requests.
    m_ctrl->EnableFileBrowseButton(L"txt");
    Click();
    ASSERT_EQ(cancel.m_requests.size(), 2u);
    EXPECT_FALSE(cancel.m_requests[1].chooseFolder);
}

TEST_F(EditBrowseTest, WithoutParentNoFileDialog)
{
    DialogAnswer dialog(std::wstring(L"/x"));
    CVltEditBrowseCtrl orphan;
    orphan.EnableFileBrowseButton(L"txt");
    orphan.OnBrowse();
    EXPECT_TRUE(dialog.m_requests.empty());
}

TEST(EditBrowseSplit, StartPaths)
{
    std::wstring folder, name;
    // A text without a separator is the folder, as the dialog takes it.
    vlt::SplitStartPath(L"plain", L"/def", folder, name);
    EXPECT_EQ(folder, L"plain");
    EXPECT_EQ(name, L"");
    vlt::SplitStartPath(L"", L"/def", folder, name);
    EXPECT_EQ(folder, L"/def");
    vlt::SplitStartPath(L"/top.xsvf", L"/def", folder, name);
    EXPECT_EQ(folder, L"/");
    EXPECT_EQ(name, L"top.xsvf");
    vlt::SplitStartPath(L"/a/b/", L"/def", folder, name);
    EXPECT_EQ(folder, L"/a/b");
    EXPECT_EQ(name, L"");
}

TEST_F(EditBrowseTest, CueBannerIsThePlaceholder)
{
    m_ctrl->SetCueBanner(L" *.xsvf");
    EXPECT_EQ(m_ctrl->Edit()->placeholderText(), QStringLiteral(" *.xsvf"));
}

} // namespace

namespace {

TEST_F(EditBrowseTest, ProgramsFileBrowserGetsTheSettingsAndTheDevice)
{
    DialogAnswer local(std::wstring(L"/local/file.xsvf"));
    int board = 0;
    std::vector<CVltEditBrowseCtrl::BrowseRequest> seen;
    CVltEditBrowseCtrl::SetFileBrowser([&](const CVltEditBrowseCtrl::BrowseRequest& r) {
        seen.push_back(r);
        r.edit->setText(QStringLiteral("/remote/file.xsvf"));
        return true;
    });
    QSignalSpy chosen(m_ctrl, &CVltEditBrowseCtrl::pathChosen);
    m_ctrl->SetDefaultDir(L" /srv ");
    m_ctrl->SetRemoteDevice(&board);
    m_ctrl->SetDialogTitle(L"Pick");
    m_ctrl->SetOpenMode(0);
    m_ctrl->SetFilterIndex(2);
    Click();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].device, &board);
    EXPECT_EQ(seen[0].parent, &m_parent);
    EXPECT_EQ(seen[0].edit, m_ctrl->Edit());
    EXPECT_EQ(seen[0].defaultDir, L"/srv");
    EXPECT_EQ(seen[0].title, L"Pick");
    EXPECT_FALSE(seen[0].open);
    EXPECT_TRUE(seen[0].overwritePrompt);
    EXPECT_EQ(seen[0].filterIndex, 2);
    EXPECT_EQ(seen[0].defaultExt, L"xsvf");
    EXPECT_EQ(m_ctrl->GetText(), L"/remote/file.xsvf");
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_TRUE(local.m_requests.empty());

    // Without one, the local dialog.
    CVltEditBrowseCtrl::SetFileBrowser(nullptr);
    Click();
    EXPECT_EQ(local.m_requests.size(), 1u);
    EXPECT_EQ(m_ctrl->GetText(), L"/local/file.xsvf");
}

} // namespace
