// The remote file dialog against a real service host on loopback: a served
// root whose Documents folder the dialog browses over a remote virtual
// board's connection.
#include <filesystem>
#include <fstream>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include "BrowseForFile.h"
#include "CFileDialog_Remote.h"
#include "CMyHotListControl.h"
#include "CMyRemoteFileDialog.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "RemoteTestHost.h"
#include "DeviceServiceSender.h"
#include "TestApp.h"
#include "TextConv.h"

namespace fs = std::filesystem;

namespace {

std::string MethodOf(const char* text, uint32_t length)
{
    const std::string request(text, length);
    const size_t begin = request.find("method=\"") + 8;
    std::string method = request.substr(begin, request.find('"', begin) - begin);
    const size_t csidl = request.find("<csidl>");
    if (csidl != std::string::npos)
        method += " " + request.substr(csidl + 7, request.find('<', csidl + 7) - csidl - 7);
    return method;
}

class RemoteFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        root = scratch.Path() / "root";
        docs = root / "Documents";
        fs::create_directories(docs / "sub");
        std::ofstream(docs / "empty.txt");
        std::ofstream(docs / "notes.txt") << "abc";
        std::ofstream(docs / "run.dat") << std::string(2000, 'x');
        std::ofstream(docs / "sub" / "c.dat") << "c";
        fs::create_directory_symlink("sub", docs / "tosub");
        if (const char* home = std::getenv("HOME"))
            oldHome = home;
        setenv("HOME", root.c_str(), 1);
        unsetenv("XDG_DOCUMENTS_DIR");
        unsetenv("XDG_DESKTOP_DIR");
        host = std::make_unique<RemoteTestHost>(root.string());
        ASSERT_TRUE(host->Started());
        ASSERT_EQ(host->ConnectVirtualBoard(31, &board), TQ8_OK);
        previousBeep = vlt::SetErrorBeepHandler([this] { ++beeps; });
    }
    void TearDown() override
    {
        dlg.reset();
        vlt::SetErrorBeepHandler(previousBeep);
        if (board)
            DisconnectFromDeviceTQ8(board);
        host.reset();
        setenv("HOME", oldHome.c_str(), 1);
    }

    CMyRemoteFileDialog& Open(bool open)
    {
        ServiceRequestSender inner = DeviceServiceSender(board);
        dlg = std::make_unique<CMyRemoteFileDialog>(nullptr, open, board, settings,
                                                    [this, inner](const char* text, uint32_t length, xmlDocPtr* reply,
                                                                  uint32_t timeout) {
                                                        methods.push_back(MethodOf(text, length));
                                                        if (methods.back() == failing)
                                                            return -1;
                                                        return inner(text, length, reply, timeout);
                                                    });
        dlg->show();
        return *dlg;
    }
    QAbstractItemModel* Model() const { return dlg->findChild<QTreeView*>("fileDetails")->model(); }
    QString Cell(int row, int column) const { return Model()->index(row, column).data().toString(); }
    QStringList Names() const
    {
        QStringList names;
        for (int row = 0; row < Model()->rowCount(); ++row)
            names << Cell(row, 0);
        return names;
    }
    int RowOf(const QString& name) const { return static_cast<int>(Names().indexOf(name)); }
    QAbstractItemView* View() const
    {
        return dlg->GetView() == CMyRemoteFileDialog::kDetails
            ? static_cast<QAbstractItemView*>(dlg->findChild<QTreeView*>("fileDetails"))
            : dlg->findChild<QListView*>("fileList");
    }
    void Select(const QString& name)
    {
        const QModelIndex index = Model()->index(RowOf(name), 0);
        View()->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Clicks the row's name as a user does: in the list views only that cell is selected.
    void ClickRow(const QString& name)
    {
        const QModelIndex index = Model()->index(RowOf(name), 0);
        View()->scrollTo(index);
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, View()->visualRect(index).center());
    }
    void Key(Qt::Key key)
    {
        View()->setFocus();
        QTest::keyClick(View(), key);
    }
    void Type(const QString& text)
    {
        dlg->findChild<QLineEdit*>("fileName")->setText(text);
        dlg->accept();
    }
    void EndLabelEdit()
    {
        QTest::keyClick(LabelEditor(), Qt::Key_Return);
        QCoreApplication::processEvents(); // the editor commits by a queued call
    }
    QLineEdit* LabelEditor() const { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }

    ScratchDir scratch;
    fs::path root, docs;
    std::string oldHome;
    std::unique_ptr<RemoteTestHost> host;
    TQ8_HANDLE board = nullptr;
    vlt::FileDialogRequest settings;
    std::unique_ptr<CMyRemoteFileDialog> dlg;
    std::vector<std::string> methods;
    std::string failing;
    vlt::MessageBoxRecorder boxes;
    int beeps = 0;
    std::function<void()> previousBeep;
};

} // namespace

TEST_F(RemoteFileDialogTest, StartsInDocumentsWithTheRequestsInOrder)
{
    Open(false);
    const std::vector<std::string> expected = {
        "FSW32_REMOTE_GET_SPECIAL_FOLDER 16", "FSW32_REMOTE_GET_SPECIAL_FOLDER 5", "FSW32_REMOTE_GET_SPECIAL_FOLDER 5",
        "FSW32_REMOTE_DIR_CHECK", "FSW32_REMOTE_ENUM_FILES"};
    EXPECT_EQ(methods, expected);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Save Remote File"));
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\Documents");
    // No desktop folder on the server: its place is left out, the others
    // keep their numbers, and the documents place is the highlighted one.
    auto* places = dlg->findChild<CMyHotListControl*>("places");
    ASSERT_EQ(places->count(), 2);
    EXPECT_EQ(places->item(0)->text(), QStringLiteral("Remote Documents"));
    EXPECT_EQ(places->item(1)->data(Qt::UserRole).toInt(), 2);
    ASSERT_EQ(places->selectedItems().size(), 1);
    EXPECT_EQ(places->selectedItems().front(), places->item(0));
    auto* lookIn = dlg->findChild<QComboBox*>("lookIn");
    ASSERT_EQ(lookIn->count(), 3);
    EXPECT_EQ(lookIn->currentIndex(), 2);
    // Without a filter the type list stays empty and every file shows.
    EXPECT_EQ(dlg->findChild<QComboBox*>("fileType")->count(), 0);
    EXPECT_EQ(Names(), (QStringList{"sub", "empty.txt", "notes.txt", "run.dat", "tosub"}));
    EXPECT_EQ(Cell(RowOf("empty.txt"), 1), QStringLiteral("0 KB"));
    EXPECT_EQ(Cell(RowOf("sub"), 1), QString());
    EXPECT_EQ(Cell(RowOf("sub"), 2), QStringLiteral("File Folder"));
    EXPECT_EQ(Cell(RowOf("tosub"), 2), QStringLiteral("Shortcut"));
    EXPECT_FALSE(Cell(RowOf("run.dat"), 3).isEmpty());
    EXPECT_FALSE(dlg->findChild<QAction*>("back")->isEnabled());
    EXPECT_TRUE(dlg->findChild<QAction*>("up")->isEnabled());
}

TEST_F(RemoteFileDialogTest, ComputerLevelPlacesLookInAndBack)
{
    Open(true);
    auto* places = dlg->findChild<CMyHotListControl*>("places");
    places->setCurrentRow(1);
    EXPECT_EQ(dlg->CurrentFolder(), L"");
    // Drives only, sorted by name, without sizes in the list view; no "Up".
    EXPECT_EQ(Names(), QStringList{"C:\\"});
    EXPECT_EQ(Cell(0, 1), QString());
    EXPECT_EQ(Cell(0, 2), QStringLiteral("Local Disk"));
    EXPECT_FALSE(dlg->findChild<QAction*>("up")->isEnabled());
    dlg->OnUp();
    EXPECT_EQ(beeps, 1);
    dlg->SetView(CMyRemoteFileDialog::kDetails);
    Key(Qt::Key_F5);
    EXPECT_TRUE(Cell(0, 1).contains(QStringLiteral("% free)")));

    dlg->OnBack();
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\Documents");
    EXPECT_EQ(places->currentRow(), 0);
    dlg->OnBack();
    EXPECT_EQ(beeps, 2);
    auto* lookIn = dlg->findChild<QComboBox*>("lookIn");
    emit lookIn->activated(1);
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\");
    EXPECT_TRUE(places->selectedItems().isEmpty());
    EXPECT_EQ(lookIn->count(), 2);
    EXPECT_TRUE(dlg->findChild<QAction*>("back")->isEnabled());

    dlg->NavigateTo(L"C:\\missing", true, false);
    EXPECT_EQ(boxes.LastText(), L"C:\\missing\n\nPath does not exist. Please verify the correct path was given");
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\");
}

TEST_F(RemoteFileDialogTest, SizeOrderPutsFoldersFirstAscendingAndLastDescending)
{
    Open(true);
    dlg->SetView(CMyRemoteFileDialog::kDetails);
    QHeaderView* header = dlg->findChild<QTreeView*>("fileDetails")->header();
    EXPECT_FALSE(header->isSortIndicatorShown());
    const QPoint sizeColumn(header->sectionViewportPosition(1) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeColumn);
    QStringList names = Names();
    EXPECT_EQ(names.front(), QStringLiteral("sub"));
    EXPECT_LT(names.indexOf("empty.txt"), names.indexOf("notes.txt"));
    EXPECT_LT(names.indexOf("notes.txt"), names.indexOf("run.dat"));
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeColumn);
    names = Names();
    EXPECT_EQ(names.front(), QStringLiteral("run.dat"));
    EXPECT_EQ(names.back(), QStringLiteral("sub"));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(RemoteFileDialogTest, TypedNamesAndRelativePaths)
{
    settings.defaultExt = L"rd8";
    Open(false);
    Type(QStringLiteral("sub\\"));
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\Documents\\sub\\");
    EXPECT_TRUE(dlg->findChild<QLineEdit*>("fileName")->text().isEmpty());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    dlg->OnBack();
    Type(QStringLiteral("a*b"));
    EXPECT_EQ(boxes.LastText(), L"a*b\n\nThe above file name contains invalid characters");
    Type(QStringLiteral("sub\\file.dat"));
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->GetChosenPath(), L"C:\\Documents\\sub\\file.dat");
    dlg->OnUp();
    Type(QStringLiteral("new"));
    EXPECT_EQ(dlg->GetChosenPath(), L"C:\\Documents\\new.rd8");
}

TEST_F(RemoteFileDialogTest, OverwriteQuestionAndAFailedCheck)
{
    settings.overwritePrompt = true;
    Open(false);
    boxes.QueueAnswer(IDNO);
    Type(QStringLiteral("notes.txt"));
    EXPECT_EQ(boxes.LastText(), L"C:\\Documents\\notes.txt already exists. Do you want to replace it?");
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    Type(QStringLiteral("fresh.txt"));
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);

    // A check that cannot be made asks as for an existing file.
    dlg->setResult(QDialog::Rejected);
    failing = "FSW32_REMOTE_FILE_CHECK";
    boxes.QueueAnswer(IDNO);
    Type(QStringLiteral("other.txt"));
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    boxes.QueueAnswer(IDYES);
    Type(QStringLiteral("other.txt"));
    EXPECT_EQ(dlg->GetChosenPath(), L"C:\\Documents\\other.txt");
}

TEST_F(RemoteFileDialogTest, FilterAndShortcuts)
{
    settings.filter = L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    Open(true);
    auto* types = dlg->findChild<QComboBox*>("fileType");
    ASSERT_EQ(types->count(), 2);
    // The shortcut's target is a folder: it shows with any filter.
    EXPECT_EQ(Names(), (QStringList{"sub", "empty.txt", "notes.txt", "tosub"}));
    types->setCurrentIndex(1);
    EXPECT_EQ(Names().size(), 5);
    EXPECT_TRUE(methods.end() == std::find(methods.begin(), methods.end(), "FSW32_REMOTE_FILE_CHECK"));
    Select(QStringLiteral("tosub"));
    Key(Qt::Key_Return);
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\Documents\\sub");
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    Select(QStringLiteral("c.dat"));
    EXPECT_EQ(dlg->findChild<QLineEdit*>("fileName")->text(), QStringLiteral("c.dat"));
    Key(Qt::Key_Return);
    EXPECT_EQ(dlg->GetChosenPath(), L"C:\\Documents\\sub\\c.dat");
}

TEST_F(RemoteFileDialogTest, RenameByLabelEditWithTheNameRules)
{
    Open(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    Key(Qt::Key_F2);
    EXPECT_EQ(beeps, 1);
    Select(QStringLiteral("notes.txt"));
    Key(Qt::Key_F2);
    ASSERT_NE(LabelEditor(), nullptr);
    LabelEditor()->selectAll();
    QTest::keyClicks(LabelEditor(), QStringLiteral("renamed.txt"));
    EndLabelEdit();
    EXPECT_TRUE(fs::exists(docs / "renamed.txt"));
    EXPECT_FALSE(fs::exists(docs / "notes.txt"));
    EXPECT_EQ(dlg->result(), QDialog::Rejected);

    for (const QString& bad : {QStringLiteral("a:b"), QStringLiteral("..")}) {
        Select(QStringLiteral("renamed.txt"));
        Key(Qt::Key_F2);
        ASSERT_NE(LabelEditor(), nullptr);
        LabelEditor()->setText(bad);
        EndLabelEdit();
        EXPECT_EQ(boxes.LastText(), bad.toStdWString() + L"\n\nThe above file name contains invalid characters");
        EXPECT_NE(RowOf(QStringLiteral("renamed.txt")), -1);
    }
    EXPECT_EQ(std::count(methods.begin(), methods.end(), "FSW32_REMOTE_FILE_RENAME"), 1);
    EXPECT_TRUE(fs::exists(docs / "renamed.txt"));
}

TEST_F(RemoteFileDialogTest, DeleteAsksFirst)
{
    settings.filter = L"All Files (*.*)|*.*|Text (*.txt)|*.txt||";
    Open(true);
    Select(QStringLiteral("sub"));
    Key(Qt::Key_Delete);
    EXPECT_EQ(boxes.LastText(), L"Are you sure you want to permanently delete directory 'sub' and all of its "
                                L"contents?\n\nThis operation cannot be undone.");
    EXPECT_TRUE(fs::exists(docs / "sub"));
    Select(QStringLiteral("run.dat"));
    boxes.QueueAnswer(IDNO);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(fs::exists(docs / "run.dat"));
    boxes.QueueAnswer(IDYES);
    Key(Qt::Key_Delete);
    EXPECT_EQ(boxes.LastText(),
              L"Are you sure you want to permanently delete 'run.dat'?\n\nThis operation cannot be undone.");
    EXPECT_FALSE(fs::exists(docs / "run.dat"));
    EXPECT_EQ(RowOf(QStringLiteral("run.dat")), -1);
    // Rows made again from the listing leave the deleted file out.
    auto* types = dlg->findChild<QComboBox*>("fileType");
    types->setCurrentIndex(1);
    types->setCurrentIndex(0);
    EXPECT_EQ(RowOf(QStringLiteral("run.dat")), -1);
    EXPECT_NE(RowOf(QStringLiteral("notes.txt")), -1);
    View()->clearSelection();
    Key(Qt::Key_Delete);
    EXPECT_EQ(beeps, 1);
}

TEST_F(RemoteFileDialogTest, ListViewKeysActOnTheClickedFileAndARefusedRenameSaysWhy)
{
    Open(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    ASSERT_EQ(dlg->GetView(), CMyRemoteFileDialog::kList);
    ClickRow(QStringLiteral("run.dat"));
    EXPECT_EQ(dlg->findChild<QLineEdit*>("fileName")->text(), QStringLiteral("run.dat"));
    boxes.QueueAnswer(IDYES);
    Key(Qt::Key_Delete);
    EXPECT_EQ(boxes.LastText(),
              L"Are you sure you want to permanently delete 'run.dat'?\n\nThis operation cannot be undone.");
    EXPECT_FALSE(fs::exists(docs / "run.dat"));

    ClickRow(QStringLiteral("notes.txt"));
    Key(Qt::Key_F2);
    ASSERT_NE(LabelEditor(), nullptr);
    LabelEditor()->setText(QStringLiteral("empty.txt"));
    EndLabelEdit();
    // The file service keeps the existing file and says why it refused.
    EXPECT_TRUE(fs::exists(docs / "notes.txt"));
    EXPECT_EQ(Cell(RowOf(QStringLiteral("notes.txt")), 0), QStringLiteral("notes.txt"));
    std::wstring name;
    ASSERT_EQ(GetBoardNameString(board, name, kErrorBoxNameFlags), 0);
    const std::wstring text = boxes.LastText();
    EXPECT_EQ(text.rfind(name + L": Failed to rename file or folder: ", 0), 0u) << vlt::WideToUtf8(text);
    EXPECT_NE(text.find(L"File exists"), std::wstring::npos) << vlt::WideToUtf8(text);
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(beeps, 0);
}

TEST_F(RemoteFileDialogTest, AFailedListingKeepsTheRows)
{
    Open(true);
    const QStringList before = Names();
    failing = "FSW32_REMOTE_ENUM_FILES";
    Key(Qt::Key_F5);
    EXPECT_NE(boxes.LastText().find(L"Failed to refresh files: "), std::wstring::npos);
    EXPECT_EQ(Names(), before);
    Select(QStringLiteral("sub"));
    Key(Qt::Key_Return);
    EXPECT_NE(boxes.LastText().find(L"Failed to obtain remote files: "), std::wstring::npos);
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\Documents");
    failing.clear();
    Key(Qt::Key_Return);
    EXPECT_EQ(dlg->CurrentFolder(), L"C:\\Documents\\sub");
}

TEST_F(RemoteFileDialogTest, NewFolderTakesTheFirstFreeNameAndOpensItsLabel)
{
    fs::create_directory(docs / "New Folder");
    Open(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    dlg->OnNewFolder();
    EXPECT_TRUE(fs::is_directory(docs / "New Folder (2)"));
    ASSERT_NE(LabelEditor(), nullptr);
    LabelEditor()->setText(QStringLiteral("Results"));
    EndLabelEdit();
    EXPECT_TRUE(fs::is_directory(docs / "Results"));
    EXPECT_FALSE(fs::exists(docs / "New Folder (2)"));

    for (int n = 2; n <= 99; ++n)
        fs::create_directory(docs / ("New Folder (" + std::to_string(n) + ")"));
    methods.clear();
    dlg->OnNewFolder();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(methods.size(), 99u);
    EXPECT_EQ(std::count(methods.begin(), methods.end(), "FSW32_REMOTE_DIR_CREATE"), 0);
}

TEST_F(RemoteFileDialogTest, FileDialogRemoteChoosesTheDialogByTheBoard)
{
    std::vector<vlt::FileDialogRequest> system;
    vlt::FileDialogHandler previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) {
        system.push_back(r);
        return std::optional<std::wstring>(L"/tmp/local.dat");
    });
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&local, 1600, 0), TQ8_OK);
    for (TQ8_HANDLE device : {static_cast<TQ8_HANDLE>(nullptr), local}) {
        CFileDialog_Remote file(device, true, L"dat");
        EXPECT_EQ(file.DoModal(), IDOK);
        EXPECT_EQ(file.GetPathName(), L"/tmp/local.dat");
    }
    EXPECT_EQ(system.size(), 2u);
    DisconnectFromDeviceTQ8(local);

    // A remote board, through BrowseForFile: it starts in the edit's folder
    // with its name, and the remote path comes back.
    CFileDialog_Remote::Register();
    QLineEdit edit(QStringLiteral("C:\\Documents\\sub\\c.dat"));
    std::wstring seenFolder;
    QTimer::singleShot(0, [&] {
        auto* remote = qobject_cast<CMyRemoteFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(remote, nullptr);
        seenFolder = remote->CurrentFolder();
        remote->accept();
    });
    EXPECT_TRUE(BrowseForFile(nullptr, &edit, nullptr, nullptr, true, false, L"", -1, board, nullptr, nullptr));
    EXPECT_EQ(seenFolder, L"C:\\Documents\\sub");
    EXPECT_EQ(edit.text(), QStringLiteral("C:\\Documents\\sub\\c.dat"));

    // A handle the library does not know answers with an error: still the
    // remote dialog, whose requests then fail.
    bool remoteShown = false;
    QTimer::singleShot(0, [&] {
        auto* remote = qobject_cast<CMyRemoteFileDialog*>(QApplication::activeModalWidget());
        remoteShown = remote != nullptr;
        if (remote)
            remote->reject();
    });
    CFileDialog_Remote bogus(reinterpret_cast<TQ8_HANDLE>(uintptr_t{0x7fff1234}), false);
    EXPECT_EQ(bogus.DoModal(), IDCANCEL);
    EXPECT_TRUE(remoteShown);
    EXPECT_EQ(system.size(), 2u);
    BoardFileDialogFactory() = nullptr;
    vlt::SetFileDialogHandler(previous);
}

TEST_F(RemoteFileDialogTest, ViewMenuHotPlacesAndResizing)
{
    Open(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    EXPECT_EQ(dlg->GetView(), CMyRemoteFileDialog::kList);
    QStringList offered;
    bool listChecked = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            offered << action->text();
            if (action->text() == QStringLiteral("List"))
                listChecked = action->isChecked();
        }
        menu->setActiveAction(menu->actions().at(2));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(dlg->findChild<QToolButton*>("viewMenu"), Qt::LeftButton);
    EXPECT_EQ(offered, (QStringList{"Icons", "List", "Details"}));
    EXPECT_TRUE(listChecked);
    EXPECT_EQ(dlg->GetView(), CMyRemoteFileDialog::kDetails);
    EXPECT_TRUE(dlg->findChild<QTreeView*>("fileDetails")->isVisible());

    auto* places = dlg->findChild<CMyHotListControl*>("places");
    const QRect second = places->visualItemRect(places->item(1));
    const QPointF at(second.center());
    QMouseEvent move(QEvent::MouseMove, at, places->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(places->viewport(), &move);
    EXPECT_EQ(places->HotItem(), 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(places, &leave);
    EXPECT_EQ(places->HotItem(), -1);

    // The start size is the smallest; growing the window grows the list
    // and moves the buttons with the corner.
    EXPECT_EQ(dlg->minimumSize(), dlg->size());
    auto* list = dlg->findChild<QTreeView*>("fileDetails");
    auto* ok = dlg->findChild<QPushButton*>("ok");
    const QSize listBefore = list->size();
    const QPoint okBefore = ok->pos();
    dlg->resize(dlg->size() + QSize(120, 80));
    QApplication::processEvents();
    EXPECT_EQ(list->size(), listBefore + QSize(120, 80));
    EXPECT_EQ(ok->pos(), okBefore + QPoint(120, 80));
}
