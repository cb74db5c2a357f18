#pragma once
// An edit field with a browse button for file paths. In file mode the button
// opens the program's file dialog, starting in the folder of the path in the
// edit, and writes the chosen path back into the edit. A program whose boards
// can sit on another computer installs its own file browser (SetFileBrowser);
// without one the local dialog of platform/ui is shown.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QWidget>

class QLineEdit;
class QToolButton;

class CVltEditBrowseCtrl : public QWidget {
    Q_OBJECT
public:
    enum BrowseMode { BrowseMode_None = 0, BrowseMode_Default = 1, BrowseMode_File = 2, BrowseMode_Folder = 3 };

    // Called before each browse; 0 skips the browse.
    using BrowseCallback = int32_t (*)(intptr_t userData, CVltEditBrowseCtrl* control);

    explicit CVltEditBrowseCtrl(QWidget* parent = nullptr);

    // Browse set-up: file mode with a default extension (without the dot) and
    // a filter ("Name|*.ext|...||"); folder mode; or the plain button.
    void EnableFileBrowseButton(const std::wstring& defaultExt = {},
                                const std::wstring& filter = L"All Files (*.*)|*.*||");
    void EnableFolderBrowseButton();
    void EnableBrowseButton(bool enable = true);
    int GetMode() const { return m_mode; }

    void SetDefaultDir(const std::wstring& folder);
    void SetBrowseCallback(BrowseCallback callback, intptr_t userData);
    void SetDialogTitle(const wchar_t* title);
    // The board whose computer is browsed (null: this computer). Which
    // boards are remote, and their file dialog, is the program's business:
    // its file browser gets the handle.
    void SetRemoteDevice(void* deviceHandle);
    void SetFilterIndex(int index);
    void SetOpenMode(int open);

    std::wstring GetText() const;
    void SetText(const std::wstring& text);
    // Grey hint shown while the edit is empty, also with the focus.
    void SetCueBanner(const std::wstring& text);

    QLineEdit* Edit() const { return m_edit; }
    QToolButton* Button() const { return m_button; }

    // The browse button's action.
    virtual void OnBrowse();

    // What a browse in file mode hands to the program's file browser.
    struct BrowseRequest {
        QWidget* parent = nullptr;
        QLineEdit* edit = nullptr;
        std::wstring filter;
        std::wstring defaultExt;
        bool open = true;
        std::wstring defaultDir;
        int filterIndex = -1; // -1: the dialog's own
        void* device = nullptr;
        std::wstring title;   // empty: the dialog's own
        bool overwritePrompt = true;
    };
    // true when a file was chosen and written to the edit. One per program;
    // empty restores the local dialog.
    using FileBrowser = std::function<bool(const BrowseRequest& request)>;
    static void SetFileBrowser(FileBrowser browser);
    // The local dialog for a request (the device is not looked at); true when
    // a file was chosen: it is written to the edit, when there is one, and to
    // path.
    static bool BrowseLocally(const BrowseRequest& request, std::wstring* path = nullptr);

signals:
    // The user chose a path and it is in the edit.
    void pathChosen();

protected:
    virtual void BrowseForFolder();

private:
    void BrowseForFile();

    QLineEdit* m_edit;
    QToolButton* m_button;
    int m_mode = BrowseMode_None;
    std::wstring m_defaultExt;
    std::wstring m_filter;
    int32_t m_openMode = 1;
    int32_t m_filterIndex = -1;
    std::wstring m_defaultDir;
    std::wstring m_title;
    BrowseCallback m_callback = nullptr;
    intptr_t m_userData = 0;
    void* m_device = nullptr;
};
