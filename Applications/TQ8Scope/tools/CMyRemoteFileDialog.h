#pragma once
// The open and save dialog on the file system of a remote board's computer,
// through the file service of its service host. It looks like the system's
// dialog: places on the left, the look-in list with Back, Up, New Folder
// and the view menu, the file list, the file name box and the type filter.
#include <string>
#include <vector>

#include <QDialog>

#include "CRemoteFileEntry.h"
#include "CRemoteFileRequests.h"
#include "FileDialog.h"
#include "RemoteFileFilter.h"
#include "RemoteFolderHistory.h"
#include "TQ8_64.h"

class CMyHotListControl;
class QAction;
class QComboBox;
class QLineEdit;
class QListView;
class QModelIndex;
class QStackedWidget;
class QStandardItem;
class QStandardItemModel;
class QToolButton;
class QTreeView;
class QAbstractItemView;
struct RemoteFileRow;

class CMyRemoteFileDialog : public QDialog {
    Q_OBJECT
public:
    enum View { kIcons, kList, kDetails };

    // The settings are borrowed for the dialog's life. Without a sender the
    // requests go over the board's connection.
    CMyRemoteFileDialog(QWidget* parent, bool open, TQ8_HANDLE device, const vlt::FileDialogRequest& settings,
                        ServiceRequestSender sender = {});
    ~CMyRemoteFileDialog() override;

    // The full remote path; valid after OK.
    const std::wstring& GetChosenPath() const { return m_chosenPath; }
    const std::wstring& CurrentFolder() const { return m_folder; }

    // The one way the folder changes; false (after a message unless quiet)
    // when the folder does not exist or cannot be listed.
    bool NavigateTo(const std::wstring& path, bool addToHistory, bool quiet);

    void OnBack();
    void OnUp();
    void OnNewFolder();
    void SetView(View view);
    View GetView() const { return m_view; }
    // The OK button: the typed name.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Place {
        int number;
        std::wstring label;
        std::wstring path;
    };

    void Start();
    void CreateToolbar();
    void AddPlaces();
    void FillFilterList();
    std::wstring FirstFolder();

    void RefillFileList();
    void FillRows(std::vector<size_t> entryIndexes);
    QList<QStandardItem*> MakeRow(size_t entryIndex) const;
    void UpdateNavigationState();
    void RebuildLookIn();
    bool Refresh(const wchar_t* failurePrefix);
    // The error box of a failed request, with the file service's own reason
    // when it gave one.
    void ShowRequestError(int32_t code, const wchar_t* prefix);

    void OnPlaceSelected();
    void OnLookIn(int index);
    void OnHeaderClicked(int column);
    void OnRowSelected();
    void OnActivated(const QModelIndex& index);
    void OnLabelEdited(QStandardItem* item);
    void OnDelete();
    void OnRename();
    bool AcceptFileName(std::wstring name);
    void ShowViewMenu();

    QAbstractItemView* CurrentView() const;
    // The first row with a selected cell, or -1.
    int SelectedRow() const;
    size_t EntryOfRow(int row) const;
    bool AtComputerLevel() const { return m_folder.empty(); }

    bool m_open;
    TQ8_HANDLE m_device;
    const vlt::FileDialogRequest& m_settings;
    CRemoteFileRequests m_requests;

    std::wstring m_folder;
    RemoteFolderHistory m_history;
    std::vector<CRemoteFileEntry> m_entries;
    RemoteFileFilter m_filter;
    std::vector<Place> m_places;
    int m_sortColumn = 0;
    bool m_sortDescending = false;
    View m_view = kList;
    std::wstring m_chosenPath;
    bool m_started = false;
    bool m_suppressPlaceNavigation = false;
    bool m_fillingRows = false;
    int m_lookInCurrent = -1;

    CMyHotListControl* m_placesBar;
    QComboBox* m_lookIn;
    QAction* m_back = nullptr;
    QAction* m_up = nullptr;
    QAction* m_newFolder = nullptr;
    QToolButton* m_viewButton = nullptr;
    QStandardItemModel* m_model;
    QStackedWidget* m_views;
    QListView* m_listView;
    QTreeView* m_detailsView;
    QLineEdit* m_nameBox;
    QComboBox* m_typeList;
};
