#include "CChildFrame.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QMdiSubWindow>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "CFormView_WithEdit.h"
#include "CMainApp.h"
#include "CommandIds.h"
#include "IBoardDocument.h"
#include "MessageBox.h"
#include "TextConv.h"

namespace {

// Height of the bottom row until the action form gives its own.
constexpr int kDefaultBottomRowHeight = 220;
// Width of the action pane until the action form gives its own.
constexpr int kDefaultActionPaneWidth = 240;

QFrame* EmptyPane(QWidget* parent)
{
    auto* pane = new QFrame(parent);
    pane->setFrameShape(QFrame::StyledPanel);
    return pane;
}

} // namespace

std::array<CChildFrame::PageEntry, CChildFrame::kPageCount>& CChildFrame::PageTable()
{
    static std::array<PageEntry, kPageCount> table = {{
        {L"Data", "CForm_Data", 106, {}, {}},
        {L"Sampling Rate", "CForm_Clocks", 109, {}, {}},
        {L"Trigger", "CForm_Trig", 107, {}, {}},
        {L"DC Offset", "CForm_DcOffset", 112, {}, {}},
        {L"Status", "CForm_Status", 108, {}, {}},
        {L"Timestamps", "CForm_Timestamps", 126, {}, {}},
        {L"ZAB", "CForm_ZAB", 121, {}, {}},
        {L"FPGA Proc", "CForm_FPGAProc", 167, {}, {}},
        {L"Decimation", "CForm_FLPC2_Dec", 168, {}, {}},
        {L"FFT", "CForm_FLPC4_FFT", 169, {}, {}},
        {L"FIR1", "CForm_FLPC5_FIR1", 170, {}, {}},
        {L"FIR2", "CForm_FLPC6_FIR2", 171, {}, {}},
        {L"Troubleshooting", "CForm_Troubleshooting", 113, {}, {}},
        {L"Data Plotting", "CFormView_Scope", 101, {}, {}},
        {L"Remote", "CForm_Remote", 127, {}, {}},
    }};
    return table;
}

CChildFrame::PaneFactories& CChildFrame::Panes()
{
    static PaneFactories factories;
    return factories;
}

int CChildFrame::PlotRowHeight(int clientHeight, int bottomRowHeight)
{
    int height = clientHeight - kRowOverhead - bottomRowHeight;
    return height < 1 ? 0 : height;
}

CChildFrame::CChildFrame(std::unique_ptr<IBoardDocument> doc, CMainApp& app) : m_app(app), m_doc(std::move(doc))
{
    UpdateTitle();
    const PaneFactories& panes = Panes();
    m_outer = new QSplitter(Qt::Vertical, this);
    m_plotPane = panes.plotView ? panes.plotView(*m_doc, m_outer) : nullptr;
    if (!m_plotPane)
        m_plotPane = EmptyPane(m_outer);
    m_inner = new QSplitter(Qt::Horizontal, m_outer);
    m_actionPane = panes.actionForm ? panes.actionForm(*m_doc, m_inner) : nullptr;
    QSize actionSize(kDefaultActionPaneWidth, kDefaultBottomRowHeight);
    if (m_actionPane && panes.actionFormSize)
        actionSize = panes.actionFormSize();
    if (!m_actionPane)
        m_actionPane = EmptyPane(m_inner);
    m_controlPanel = panes.controlPanel ? panes.controlPanel(m_inner) : nullptr;
    if (!m_controlPanel)
        m_controlPanel = new QTabWidget(m_inner);
    QFont small = m_controlPanel->font();
    small.setPointSize(9);
    m_controlPanel->setFont(small);
    // Neither row can be dragged away: the plot keeps its least row height
    // and the panels their own least size. A tab group smaller than that
    // scrolls the window.
    m_outer->setChildrenCollapsible(false);
    m_inner->setStretchFactor(1, 1);
    m_inner->setSizes({actionSize.width(), 1000});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outer);
    m_bottomRowHeight = actionSize.height();
    m_doc->SetChildFrame(this);
}

CChildFrame::~CChildFrame()
{
    delete m_goTo.data();
    CloseDocument();
    // The panes and pages talk to the document as they go, so they go first.
    delete m_outer;
    m_outer = nullptr;
}

bool CChildFrame::AddControlPages()
{
    auto* panel = dynamic_cast<IControlPanel*>(m_controlPanel);
    const uint32_t mask = m_doc->GetControlPanelPageMask();
    const auto& table = PageTable();
    bool added = true;
    for (int i = 0; panel && added && i < kPageCount; ++i) {
        const PageEntry& entry = table[static_cast<size_t>(i)];
        if (!(mask & (1u << i)) || !entry.create)
            continue;
        added = panel->AddPage(m_controlPanel->count(), entry.caption, entry.create, *m_doc) != -1;
        if (added && entry.formHeight)
            m_bottomRowHeight = std::max(m_bottomRowHeight, entry.formHeight());
    }
    RecalcLayout();
    return added;
}

int CChildFrame::GetSelectedControlPage() const
{
    return m_controlPanel->currentIndex();
}

int CChildFrame::SelectControlPage(int index)
{
    auto* panel = dynamic_cast<IControlPanel*>(m_controlPanel);
    return panel ? panel->SelectPage(index) : -1;
}

void CChildFrame::RecalcLayout()
{
    const int client = m_outer->height();
    const int plot = PlotRowHeight(client, m_bottomRowHeight);
    // A plot view that asks for a larger least size (room for a usable
    // trace area) keeps it; the splitter then reads its hint.
    m_plotPane->setMinimumHeight(m_plotPane->minimumSizeHint().height() > kMinRowHeight ? 0 : kMinRowHeight);
    m_outer->setSizes({plot, std::max(0, client - plot - m_outer->handleWidth())});
}

void CChildFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RecalcLayout();
}

void CChildFrame::UpdateTitle()
{
    if (m_closed || !m_doc)
        return;
    const QString title = QString::fromStdString(vlt::WideToUtf8(m_doc->GetTitle()));
    if (title == windowTitle())
        return;
    setWindowTitle(title);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setWindowTitle(title);
}

void CChildFrame::CloseDocument()
{
    if (m_closed || !m_doc)
        return;
    m_closed = true;
    m_doc->CloseDocument();
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_closed && m_doc && m_doc->IsRecording()) {
        vlt::ShowMessageBox(L"Cannot close TQ3300; this device is currently in a data recording", MB_ICONERROR, this);
        event->ignore();
        return;
    }
    if (!m_closed && m_doc && !m_doc->PromptSaveSettings()) {
        event->ignore();
        return;
    }
    CloseDocument();
    event->accept();
}

bool CChildFrame::CanGoToSample() const
{
    const PaneFactories& panes = Panes();
    return panes.goToWindow && panes.plotHasSources && panes.plotHasSources(m_plotPane);
}

void CChildFrame::OnGoToSample()
{
    if (!m_goTo) {
        const PaneFactories& panes = Panes();
        m_goTo = panes.goToWindow ? panes.goToWindow(*this, m_plotPane) : nullptr;
        if (!m_goTo)
            return;
    }
    if (m_goTo->isVisible()) {
        m_goTo->hide();
        return;
    }
    m_goTo->show();
    m_goTo->raise();
    m_goTo->activateWindow();
}

CFormView_WithEdit* CChildFrame::EditCommandTarget() const
{
    if (m_closed)
        return nullptr;
    for (QWidget* pane : {m_plotPane, m_actionPane, static_cast<QWidget*>(m_controlPanel)})
        if (auto* form = qobject_cast<CFormView_WithEdit*>(pane))
            return form;
    // Then the active view: the form that holds the focus, in this window
    // (also while the menu bar has it for a menu opened from the keyboard).
    for (QWidget* w = CFormView_WithEdit::FocusWidget(); w && w != this; w = w->parentWidget())
        if (auto* form = qobject_cast<CFormView_WithEdit*>(w))
            return isAncestorOf(form) ? form : nullptr;
    return nullptr;
}

bool CChildFrame::GetEditCommandState(unsigned id, bool& enabled) const
{
    enabled = false;
    return EditCommandTarget() && CFormView_WithEdit::GetEditCommandState(id, enabled);
}

bool CChildFrame::OnEditCommand(unsigned id)
{
    bool enabled = false;
    return GetEditCommandState(id, enabled) && enabled && CFormView_WithEdit::OnEditCommand(id);
}

intptr_t CChildFrame::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t)
{
    if (msg == WM_COMMAND && wParam == cmd::kApplyCommandLineFile && m_doc && !m_closed) {
        m_doc->ApplyCommandLineFile();
        return 1;
    }
    return 0;
}
