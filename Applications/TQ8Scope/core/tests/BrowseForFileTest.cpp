#include <gtest/gtest.h>

#include <QLineEdit>

#include "BrowseForFile.h"
#include "CVltEditBrowseCtrl.h"
#include "FileDialog.h"
#include "TestApp.h"

namespace {

struct DialogAnswer {
    vlt::FileDialogRequest seen;
    std::optional<std::wstring> answer;
    vlt::FileDialogHandler previous;
    DialogAnswer()
    {
        previous = vlt::SetFileDialogHandler([this](const vlt::FileDialogRequest& r) {
            seen = r;
            return answer;
        });
    }
    ~DialogAnswer() { vlt::SetFileDialogHandler(previous); }
};

} // namespace

TEST(BrowseForFile, StartsInTheEditsFolderWithItsName)
{
    App();
    QLineEdit edit(QStringLiteral("/data/run1.rd8"));
    DialogAnswer dlg;
    dlg.answer = L"/data/run2.rd8";
    std::wstring path;
    ASSERT_TRUE(BrowseForRd8File(nullptr, &edit, true, false, L"/home", nullptr, &path, L"Pick"));
    EXPECT_EQ(dlg.seen.folder, L"/data");
    EXPECT_EQ(dlg.seen.fileName, L"run1.rd8");
    EXPECT_EQ(dlg.seen.defaultExt, L"rd8");
    EXPECT_EQ(dlg.seen.title, L"Pick");
    EXPECT_EQ(dlg.seen.filter, L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||");
    EXPECT_EQ(path, L"/data/run2.rd8");
    EXPECT_EQ(edit.text(), QStringLiteral("/data/run2.rd8"));
}

TEST(BrowseForFile, TextWithoutSlashIsTheFolderAndDefaultsApply)
{
    App();
    QLineEdit edit(QStringLiteral("runs"));
    DialogAnswer dlg;
    EXPECT_FALSE(BrowseForFile(nullptr, &edit, nullptr, L"txt", false, true, L"/home", 2, nullptr, nullptr, nullptr));
    EXPECT_EQ(dlg.seen.folder, L"runs");
    EXPECT_TRUE(dlg.seen.fileName.empty());
    EXPECT_EQ(dlg.seen.filter, L"All Files (*.*)|*.*||");
    EXPECT_EQ(dlg.seen.filterIndex, 2);
    EXPECT_TRUE(dlg.seen.overwritePrompt);
    EXPECT_FALSE(dlg.seen.open);
    EXPECT_EQ(edit.text(), QStringLiteral("runs")); // cancelled: unchanged
    edit.clear();
    BrowseForFile(nullptr, &edit, nullptr, nullptr, true, false, L"/home", -1, nullptr, nullptr, nullptr);
    EXPECT_EQ(dlg.seen.folder, L"/home");
    EXPECT_EQ(dlg.seen.filterIndex, 1);
}

TEST(BrowseForFile, SplitStartPath)
{
    std::wstring folder, name;
    vlt::SplitStartPath(L"/run1.rd8", L"/def", folder, name);
    EXPECT_EQ(folder, L"/");
    EXPECT_EQ(name, L"run1.rd8");
    vlt::SplitStartPath(L"/data/", L"/def", folder, name);
    EXPECT_EQ(folder, L"/data");
    EXPECT_EQ(name, L"");
}

TEST(BrowseForFile, EditBrowseControlsBrowseWithIt)
{
    App();
    UseBrowseForFileInEditBrowseControls();
    QWidget parent;
    auto* ctrl = new CVltEditBrowseCtrl(&parent);
    ctrl->EnableFileBrowseButton(L"tq8ws", L"TQ3300 Workspace Files (*.tq8ws)|*.tq8ws|All Files (*.*)|*.*||");
    ctrl->SetDialogTitle(L"Open TQ3300 Workspace");
    ctrl->SetDefaultDir(L"/home");
    ctrl->SetText(L"runs");
    DialogAnswer dlg;
    dlg.answer = L"/data/a.tq8ws";
    ctrl->OnBrowse();
    EXPECT_EQ(dlg.seen.folder, L"runs");
    EXPECT_EQ(dlg.seen.title, L"Open TQ3300 Workspace");
    EXPECT_TRUE(dlg.seen.overwritePrompt);
    EXPECT_EQ(ctrl->GetText(), L"/data/a.tq8ws");
    ctrl->SetText(L"");
    dlg.answer.reset();
    ctrl->OnBrowse();
    EXPECT_EQ(dlg.seen.folder, L"/home");
    EXPECT_EQ(ctrl->GetText(), L"");
    CVltEditBrowseCtrl::SetFileBrowser(nullptr);
}
