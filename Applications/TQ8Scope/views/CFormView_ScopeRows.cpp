// The scope panel's source list, caption, buttons and the control's events.
#include "CFormView_Scope.h"

#include <set>

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "CComBSTR.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CPersistentOpts.h"
#include "FileNames.h"
#include "CommandIds.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "FormApply.h"
#include "MainFrameSheets.h"
#include "FormControls.h"
#include "MessageBox.h"

namespace {

constexpr int kChannelIdRole = Qt::UserRole;

std::wstring SourceName(IScopeTQ8ChannelSource* source)
{
    CComBSTR name;
    if (!source || FAILED(source->GetChannelSourceName(&name)))
        return {};
    return std::wstring(name.View());
}

} // namespace

uint32_t CFormView_Scope::SourceOfChannel(uint32_t channelId) const
{
    uint32_t id = kNoSource;
    if (!m_control || FAILED(m_control->GetSourceIdFromChanId(channelId, &id)))
        return kNoSource;
    return id;
}

// ---- Rows ------------------------------------------------------------------------------

void CFormView_Scope::AddSourceRows(uint32_t id)
{
    if (!m_control)
        return;
    const int before = m_list->topLevelItemCount();
    CComPtr<IScopeTQ8ChannelSource> source;
    uint32_t firstChannel = 0;
    uint32_t channels = 0;
    m_control->GetChannelSource(id, &source);
    m_control->GetFirstChannelIdForSource(id, &firstChannel);
    const QString name = ToQt(SourceName(source));
    if (source)
        source->GetChannelCount(&channels);
    m_addingRows = true;
    for (uint32_t i = 0; i < channels; ++i) {
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, name);
        row->setData(0, kChannelIdRole, firstChannel + i);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Checked);
        row->setText(1, channels < 2 ? QStringLiteral("Single") : QStringLiteral("Channel %1").arg(i + 1));
    }
    m_addingRows = false;
    if (m_pending)
        m_sources[id] = *m_pending;
    if (before == 0 && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    UpdateLabelSource();
    UpdateGoToButton();
    UpdateCaption();
    GetDocument().OnChannelSourceAdded(id);
}

void CFormView_Scope::RemoveSourceRows(uint32_t id)
{
    if (id == kNoSource) {
        m_snapshotId = kNoSource;
        m_list->clear();
        m_sources.clear();
    } else {
        uint32_t firstChannel = kNoSource;
        uint32_t channels = 0;
        CComPtr<IScopeTQ8ChannelSource> source;
        if (m_control) {
            m_control->GetFirstChannelIdForSource(id, &firstChannel);
            if (SUCCEEDED(m_control->GetChannelSource(id, &source)) && source)
                source->GetChannelCount(&channels);
        }
        for (int row = 0; row < m_list->topLevelItemCount();) {
            if (m_list->topLevelItem(row)->data(0, kChannelIdRole).toUInt() != firstChannel) {
                ++row;
                continue;
            }
            for (uint32_t i = 0; i < channels && row < m_list->topLevelItemCount(); ++i)
                delete m_list->takeTopLevelItem(row);
        }
        m_sources.erase(id);
        if (m_snapshotId == id)
            m_snapshotId = kNoSource;
    }
    GetDocument().OnChannelSourceRemoved(id);
    UpdateLabelSource();
    UpdateSourceInfoButton();
    UpdateGoToButton();
    UpdateCaption();
}

void CFormView_Scope::OnListItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_addingRows || column != 0 || !m_control)
        return;
    const bool checked = item->checkState(0) != Qt::Unchecked;
    const uint32_t channelId = item->data(0, kChannelIdRole).toUInt();
    VARIANT_BOOL shown = VARIANT_FALSE;
    // Only a change of the check state is the user's.
    if (SUCCEEDED(m_control->get_ChannelVisibility(channelId, &shown)) && (shown != VARIANT_FALSE) == checked)
        return;
    m_control->put_ChannelVisibility(channelId, checked ? VARIANT_TRUE : VARIANT_FALSE);
    UpdateSourceInfoButton();
}

void CFormView_Scope::OnListSelectionChanged()
{
    Item(kRemoveId)->setEnabled(!m_list->selectedItems().isEmpty());
    UpdateSourceInfoButton();
}

uint32_t CFormView_Scope::GetSelectedSourceId() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.size() != 1)
        return kNoSource;
    return SourceOfChannel(selected.front()->data(0, kChannelIdRole).toUInt());
}

void CFormView_Scope::UpdateSourceInfoButton()
{
    Item(kSourceInfoId)->setEnabled(GetSelectedSourceId() != kNoSource);
}

void CFormView_Scope::UpdateGoToButton()
{
    Item(kGoToId)->setEnabled(!m_sources.empty());
}

// ---- Caption ----------------------------------------------------------------------

std::wstring CFormView_Scope::BuildCaption() const
{
    std::wstring text;
    int32_t firstType = kNoType;
    for (const auto& [id, state] : m_sources) {
        if (state.type == kNoType)
            continue;
        if (firstType == kNoType) {
            firstType = state.type;
            switch (state.type) {
            case kFileSource: text = L"Data Source: File: "; break;
            case kBoardSource: text = L"Data Source: Board: "; break;
            case kSnapshotSource: text = L"Data Source: Data Snapshot: "; break;
            default: text = L"Unknown source type: "; break;
            }
        } else if (state.type != firstType) {
            return L"Mixed data sources";
        } else {
            text += L", ";
        }
        if (state.type == kFileSource)
            text += state.path.empty() ? std::wstring(L"<Unknown file>") : FileNameOf(state.path);
        else if (state.doc)
            text += state.doc->GetDeviceDisplayName(true, state.device);
    }
    return text;
}

void CFormView_Scope::UpdateCaption()
{
    if (!m_control)
        return;
    CComBSTR caption(BuildCaption());
    m_control->put_Caption(caption);
}

// ---- Buttons -------------------------------------------------------------------------

void CFormView_Scope::FocusScopeView()
{
    if (m_scopeView)
        m_scopeView->setFocus(Qt::OtherFocusReason);
}

void CFormView_Scope::OnApply()
{
    uint64_t offset = 0;
    uint32_t page = 0;
    int32_t low = 0, high = 0;
    const std::pair<int, bool> reads[] = {{kOffsetId, GetDlgItemUInt64(Item(kOffsetId), offset)},
                                          {kPageSizeId, GetDlgItemUInt32(Item(kPageSizeId), page)},
                                          {kMinId, GetDlgItemInt32(Item(kMinId), low)},
                                          {kMaxId, GetDlgItemInt32(Item(kMaxId), high)}};
    for (const auto& [id, ok] : reads) {
        if (!ok) {
            ShowInvalidNumberMessage(nullptr, Item(id));
            return;
        }
    }
    m_plotOffset = offset, m_pageSize = page, m_minSample = low, m_maxSample = high;
    if (!m_control)
        return;
    m_control->put_Enabled(VARIANT_FALSE);
    if (FAILED(m_control->put_StartSample(offset)))
        ReadPlotParameters(ScopeDispId::StartSample);
    if (FAILED(m_control->put_PageWidth(page)))
        ReadPlotParameters(ScopeDispId::PageWidth);
    if (FAILED(m_control->put_MinSampleValue(low)))
        ReadPlotParameters(ScopeDispId::MinSampleValue);
    if (FAILED(m_control->put_MaxSampleValue(high)))
        ReadPlotParameters(ScopeDispId::MaxSampleValue);
    m_control->put_Enabled(VARIANT_TRUE);
    ShowAdjustedPlotParameters(offset, page, low, high);
}

// The plot keeps its values within its limits (a page of at most
// MaxPageWidth, for one): the edits show what it holds, and the status bar
// says so when it did not take a value as typed.
void CFormView_Scope::ShowAdjustedPlotParameters(uint64_t offset, uint32_t page, int32_t low, int32_t high)
{
    bool adjusted = false;
    const auto check = [&](DISPID dispid, auto getter, auto typed) {
        decltype(typed) held{};
        if (FAILED((m_control.p->*getter)(&held)) || held == typed)
            return;
        adjusted = true;
        ReadPlotParameters(dispid);
    };
    check(ScopeDispId::StartSample, &IScopeTQ8::get_StartSample, offset);
    check(ScopeDispId::PageWidth, &IScopeTQ8::get_PageWidth, page);
    check(ScopeDispId::MinSampleValue, &IScopeTQ8::get_MinSampleValue, low);
    check(ScopeDispId::MaxSampleValue, &IScopeTQ8::get_MaxSampleValue, high);
    if (adjusted)
        ShowStatus(formapply::AppliedText(L"Plot parameters updated", true));
}

void CFormView_Scope::OnZoomToSelection()
{
    if (!m_control)
        return;
    m_control->ZoomToSelection();
    FocusScopeView();
}

void CFormView_Scope::OnGoTo()
{
    if (!m_scopeView || !m_scopeView->HasChannelSources())
        return;
    CMainApp* app = GetDocument().GetApp();
    if (QObject* frame = app ? static_cast<QObject*>(app->GetMainFrame()) : nullptr)
        vlt::PostCommand(frame, cmd::kGoToSample);
}

void CFormView_Scope::OnSetDefaults()
{
    if (!m_control)
        return;
    m_control->put_Enabled(VARIANT_FALSE);
    m_control->put_StartSample(0);
    m_control->put_PageWidth(0x10000);
    m_control->put_MinSampleValue(0);
    m_control->put_MaxSampleValue(255);
    m_control->put_Enabled(VARIANT_TRUE);
}

void CFormView_Scope::OnAutoSet()
{
    if (!m_control)
        return;
    m_control->AutoSetScaling();
    FocusScopeView();
}

void CFormView_Scope::OnClearAll()
{
    if (m_scopeView)
        m_scopeView->ClearPlot();
}

void CFormView_Scope::OnAdd()
{
    if (!m_control)
        return;
    CMainApp* app = GetDocument().GetApp();
    if (QObject* frame = app ? static_cast<QObject*>(app->GetMainFrame()) : nullptr)
        vlt::PostCommand(frame, cmd::kPlotDataInScope);
}

void CFormView_Scope::OnRemoveSelected()
{
    if (!m_control)
        return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    std::set<uint32_t> ids;
    for (QTreeWidgetItem* row : selected) {
        const uint32_t id = SourceOfChannel(row->data(0, kChannelIdRole).toUInt());
        if (id != kNoSource)
            ids.insert(id);
    }
    if (!selected.isEmpty() && selected.size() == m_list->topLevelItemCount())
        m_control->ResetScopeData();
    for (uint32_t id : ids)
        m_control->RemoveChannelSource(id);
}

void CFormView_Scope::OnSourceInfo()
{
    const uint32_t id = GetSelectedSourceId();
    if (id != kNoSource)
        ShowSourceDetails(id);
}

void CFormView_Scope::ShowSourceDetails(uint32_t id)
{
    ShowPlotSourceDetails(*this, id);
}

// ---- Events -----------------------------------------------------------------------------

void CFormView_Scope::ReadPlotParameters(DISPID id)
{
    if (!m_control)
        return;
    const bool all = id == kAllPlotParameters;
    // A property that cannot be read leaves its edit as it is.
    const bool controller = GetDocument().IsController();
    const auto read = [&](DISPID dispid, auto getter, auto& value, int item) {
        if (!(all || id == dispid) || FAILED((m_control.p->*getter)(&value)))
            return;
        ItemAs<QLineEdit>(item)->setText(QString::number(value));
        if (controller && !all)
            PropagatePlotParameter(dispid);
    };
    read(ScopeDispId::StartSample, &IScopeTQ8::get_StartSample, m_plotOffset, kOffsetId);
    read(ScopeDispId::PageWidth, &IScopeTQ8::get_PageWidth, m_pageSize, kPageSizeId);
    read(ScopeDispId::MinSampleValue, &IScopeTQ8::get_MinSampleValue, m_minSample, kMinId);
    read(ScopeDispId::MaxSampleValue, &IScopeTQ8::get_MaxSampleValue, m_maxSample, kMaxId);
    if (all && controller)
        PropagatePlotParameter(kAllPlotParameters);
}

void CFormView_Scope::OnSelectionChange(uint64_t start, uint64_t end)
{
    Item(kZoomId)->setEnabled(start != end);
    GetDocument().OnPlotSelectionChange();
}

void CFormView_Scope::OnSourceDataError(uint32_t id, BSTR reason)
{
    std::wstring text = L"Failed to obtain source data for scope. (";
    CComPtr<IScopeTQ8ChannelSource> source;
    std::wstring name;
    if (m_control && SUCCEEDED(m_control->GetChannelSource(id, &source)) && source)
        name = SourceName(source);
    if (!name.empty())
        text += L"Source:" + name;
    else
        text += L"SourceId:" + std::to_wstring(id);
    if (reason && *reason)
        text += L", Reason: " + std::wstring(vlt::BstrView(reason));
    text += L")";
    if (GetDocument().IsContinuousMode()) {
        GetDocument().SetContinuousMode(false, true, false);
        text += L"\n\nContinuous data acquisitions stopped";
    }
    vlt::ShowMessageBox(text, MB_OK, this);
}

// ---- Labels and plot options ----------------------------------------------------------

void CFormView_Scope::ApplyPlotOptions()
{
    if (CMainApp* app = GetDocument().GetApp()) {
        CPersistentOpts& options = app->GetPersistentOpts();
        options.GetItemInt(L"PlotAxisX", m_plotAxisX, 0);
        options.GetItemInt(L"PlotAxisY", m_plotAxisY, 0);
        options.GetItemInt(L"PlotSampTips", m_plotSampTips, 0);
        options.GetItemInt(L"PlotHexAdcVal", m_plotHexAdcVal, 0);
    } else {
        m_plotAxisX = m_plotAxisY = m_plotSampTips = m_plotHexAdcVal = 0;
    }
    const TQ8_RECORDED_DATA_INFO* info = nullptr;
    if (m_labelSourceId != kNoSource && GetSourceDataInfo(m_labelSourceId, &info)) {
        m_labelInfo = *info;
    } else {
        m_labelInfo.size = sizeof(m_labelInfo);
        InitRecordedDataInfoTQ8(GetDeviceHandle(), &m_labelInfo);
    }
    if (!m_control)
        return;
    const uint32_t channels = m_labelInfo.channelCount == 0 ? 1 : m_labelInfo.channelCount;
    m_control->put_SegmentSize(m_labelInfo.segmentSize / channels);
    m_control->RefreshScope();
}

uint32_t CFormView_Scope::ChooseLabelSource() const
{
    const auto isBoard = [](const CPlotSrcState& s) { return s.type == kBoardSource || s.type == kSnapshotSource; };
    for (const auto& [id, state] : m_sources)
        if (isBoard(state) && state.device == GetDeviceHandle())
            return id;
    for (const auto& [id, state] : m_sources)
        if (state.type == kFileSource && state.HasInfo())
            return id;
    for (const auto& [id, state] : m_sources)
        if ((isBoard(state) && state.device) || (state.type == kFileSource && state.HasInfo()))
            return id;
    return kNoSource;
}

void CFormView_Scope::UpdateLabelSource()
{
    const uint32_t id = ChooseLabelSource();
    if (id == m_labelSourceId)
        return;
    m_labelSourceId = id;
    ApplyPlotOptions();
}
