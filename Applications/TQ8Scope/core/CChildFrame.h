#pragma once
// The window of one board document: the plot view above; the action form
// and the tabbed control panel below. It owns its document, routes the
// commands posted to it and refuses to close while its board records.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QWidget>

#include "AppMessages.h"

class CMainApp;
class IBoardDocument;
class QSplitter;
class QTabWidget;

class CChildFrame : public QWidget, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    // Space the splitter and the frame take besides the two rows.
    static constexpr int kRowOverhead = 36;
    static constexpr int kMinRowHeight = 64;
    static constexpr int kPageCount = 15;

    // One entry of the control-panel page table: bit i of the document's
    // page mask shows entry i. A form that is not built yet has no factory
    // and cannot be added.
    struct PageEntry {
        const wchar_t* caption;
        const char* formClass;
        int dialogTemplate;
        std::function<QWidget*(IBoardDocument& doc)> create;
        std::function<int()> formHeight;
    };
    static std::array<PageEntry, kPageCount>& PageTable();

    // Height of the plot row for a client height and the bottom row's
    // height: 0 when nothing is left for it.
    static int PlotRowHeight(int clientHeight, int bottomRowHeight);

    CChildFrame(std::unique_ptr<IBoardDocument> doc, CMainApp& app);
    ~CChildFrame() override;

    IBoardDocument* GetDocument() const { return m_doc.get(); }
    QTabWidget* GetControlPanel() const { return m_controlPanel; }
    int GetBottomRowHeight() const { return m_bottomRowHeight; }
    QSplitter* GetOuterSplitter() const { return m_outer; }

    // Adds the pages of the document's page mask; false at the first page
    // that cannot be added.
    bool AddControlPages();
    void RecalcLayout();
    // The document's close; the window then goes without asking.
    void CloseDocument();
    bool IsDocumentClosed() const { return m_closed; }

    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CMainApp& m_app;
    std::unique_ptr<IBoardDocument> m_doc;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    QWidget* m_plotPane = nullptr;
    QWidget* m_actionPane = nullptr;
    QTabWidget* m_controlPanel = nullptr;
    int m_bottomRowHeight = 0;
    bool m_closed = false;
};
