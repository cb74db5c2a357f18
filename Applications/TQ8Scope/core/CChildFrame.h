#pragma once
// The window of one board document: the plot view above; the action form
// and the tabbed control panel below. It owns its document, routes the
// commands posted to it and refuses to close while its board records.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QPointer>
#include <QSize>
#include <QWidget>

#include "AppMessages.h"
#include "IControlPanel.h"

class CFormView_WithEdit;
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
    // page mask shows entry i. The forms register their factories at
    // program start-up; an entry without one is left out.
    struct PageEntry {
        const wchar_t* caption;
        const char* formClass;
        int dialogTemplate;
        IControlPanel::PageFactory create;
        std::function<int()> formHeight;
    };
    static std::array<PageEntry, kPageCount>& PageTable();

    // How the panes are made, registered at program start-up. Without a
    // factory a pane stays an empty frame (the control panel an empty tab
    // widget that takes no pages).
    struct PaneFactories {
        std::function<QWidget*(IBoardDocument& doc, QWidget* parent)> plotView;
        std::function<QWidget*(IBoardDocument& doc, QWidget* parent)> actionForm;
        // The action form's size; the bottom row is at least its height.
        std::function<QSize()> actionFormSize;
        // A tab widget that also implements IControlPanel.
        std::function<QTabWidget*(QWidget* parent)> controlPanel;
        // The go-to window for the plot view (null when it cannot be made),
        // and whether the plot holds anything to go to.
        std::function<QWidget*(CChildFrame& frame, QWidget* plotView)> goToWindow;
        std::function<bool(QWidget* plotView)> plotHasSources;
    };
    static PaneFactories& Panes();

    // Height of the plot row for a client height and the bottom row's
    // height: 0 when nothing is left for it.
    static int PlotRowHeight(int clientHeight, int bottomRowHeight);

    CChildFrame(std::unique_ptr<IBoardDocument> doc, CMainApp& app);
    ~CChildFrame() override;

    IBoardDocument* GetDocument() const { return m_doc.get(); }
    QTabWidget* GetControlPanel() const { return m_controlPanel; }
    QWidget* GetPlotView() const { return m_plotPane; }
    QWidget* GetActionForm() const { return m_actionPane; }
    // The selected control-panel tab (-1 for none), and selecting one:
    // its index, or -1 when there is no such tab.
    int GetSelectedControlPage() const;
    int SelectControlPage(int index);
    int GetBottomRowHeight() const { return m_bottomRowHeight; }
    QSplitter* GetOuterSplitter() const { return m_outer; }

    // Adds the pages of the document's page mask whose forms are
    // registered; false at the first page that cannot be made.
    bool AddControlPages();
    void RecalcLayout();
    // The document's close; the window then goes without asking.
    void CloseDocument();
    bool IsDocumentClosed() const { return m_closed; }
    // Shows the document's title, when it has changed (a settings file
    // loaded or saved under a new name), on the window and its tab.
    void UpdateTitle();

    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

    // The Edit commands (Undo, Cut, Copy, Paste) are offered to the panes,
    // row by row, and then to the form that holds the focus; the first
    // editing form serves them. false when none does; enabled tells
    // whether the command can act now.
    bool GetEditCommandState(unsigned id, bool& enabled) const;
    bool OnEditCommand(unsigned id);

    // "Go to Sample...": made on first use, then shown or hidden in turn.
    void OnGoToSample();
    bool CanGoToSample() const;
    QWidget* GetGoToWindow() const { return m_goTo.data(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CFormView_WithEdit* EditCommandTarget() const;

    CMainApp& m_app;
    std::unique_ptr<IBoardDocument> m_doc;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    QWidget* m_plotPane = nullptr;
    QWidget* m_actionPane = nullptr;
    QTabWidget* m_controlPanel = nullptr;
    QPointer<QWidget> m_goTo;
    int m_bottomRowHeight = 0;
    bool m_closed = false;
};
