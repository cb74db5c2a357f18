#include "CFormView_Scope.h"

#include <algorithm>
#include <cstring>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "CMainDoc.h"
#include "OleColor.h"
#include "SafeArray.h"

namespace {

constexpr int kColorColumn = 2;
constexpr int kChannelIdRole = Qt::UserRole;

QColor ToQColor(OLE_COLOR colour)
{
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(colour, &rgb)))
        rgb = 0;
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

// The colour cell of a row: a 3-pixel line in the channel's colour across
// the plot's background colour.
class ChannelColourDelegate : public QStyledItemDelegate {
public:
    ChannelColourDelegate(CFormView_Scope& panel, QObject* parent) : QStyledItemDelegate(parent), m_panel(panel) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        IScopeTQ8* control = m_panel.GetControl();
        if (index.column() != kColorColumn || !control) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        OLE_COLOR back = 0;
        OLE_COLOR line = 0;
        control->get_ScopeBackColor(&back);
        const uint32_t channelId = index.sibling(index.row(), 0).data(kChannelIdRole).toUInt();
        control->get_ChannelColor(channelId, &line);
        painter->save();
        painter->fillRect(option.rect, ToQColor(back));
        painter->setPen(QPen(ToQColor(line), 3));
        const int y = (option.rect.top() + option.rect.bottom()) / 2;
        painter->drawLine(option.rect.left(), y, option.rect.right(), y);
        painter->restore();
    }

private:
    CFormView_Scope& m_panel;
};

} // namespace

// ---- CPlotSrcState ------------------------------------------------------------

CFormView_Scope::CPlotSrcState::CPlotSrcState()
{
    std::memset(&info, 0, sizeof(info));
}

uint32_t CFormView_Scope::CPlotSrcState::GetChannelCount() const
{
    if (forcedChannels != 0)
        return forcedChannels;
    switch (type) {
    case kFileSource: return HasInfo() ? info.channelCount : 1;
    case kBoardSource:
    case kSnapshotSource: return channelCount;
    default: return 1;
    }
}

VARTYPE CFormView_Scope::CPlotSrcState::GetSampleVarType() const
{
    if (forcedType != kAutomaticType)
        return forcedType;
    if (type != kFileSource || !HasInfo())
        return VT_UI1;
    switch (info.bytesPerSample) {
    case 1: return info.isSigned ? VT_I1 : VT_UI1;
    case 2: return info.isSigned ? VT_I2 : VT_UI2;
    case 4: return info.isSigned ? VT_I4 : VT_UI4;
    default: return VT_UI1;
    }
}

// ---- Construction and connection ---------------------------------------------------

CFormView_Scope::CFormView_Scope(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    m_xPropertyNotify.self = this;
    m_xScopeEvents.self = this;
    m_xScopeEvents2.self = this;
    m_xLabelProvider.self = this;
    CreateControls();
}

CFormView_Scope::~CFormView_Scope()
{
    Disconnect();
    if (GetDocument().GetScopeFormView() == this)
        GetDocument().SetScopeFormView(nullptr);
}

QSize CFormView_Scope::GetTemplateSize()
{
    return {640, 250};
}

void CFormView_Scope::CreateControls()
{
    auto* grid = new QGridLayout(this);
    auto* listLabel = new QLabel(QStringLiteral("Current data plots; un-check to hide channel in plot"), this);
    m_list = AddItem(new QTreeWidget(this), kListId);
    m_list->setColumnCount(3);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setItemDelegate(new ChannelColourDelegate(*this, m_list));
    // The columns follow the names of the sources as rows come and go.
    connect(m_list->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_columnsSized)
            SizeListColumns();
    });
    grid->addWidget(listLabel, 0, 0, 1, 4);
    grid->addWidget(m_list, 1, 0, 1, 4);
    const std::pair<int, const char*> listButtons[] = {
        {kClearAllId, "Clear All"}, {kAddId, "Add..."}, {kRemoveId, "Remove Sel."}, {kSourceInfoId, "Source Info..."}};
    int column = 0;
    for (const auto& [id, text] : listButtons)
        grid->addWidget(AddItem(new QPushButton(QString::fromUtf8(text), this), id), 2, column++);

    grid->addWidget(CreateParameters(), 0, 4, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);

    ConnectControls();
}

void CFormView_Scope::ConnectControls()
{
    connect(ItemAs<QPushButton>(kApplyId), &QPushButton::clicked, this, &CFormView_Scope::OnApply);
    connect(ItemAs<QPushButton>(kZoomId), &QPushButton::clicked, this, &CFormView_Scope::OnZoomToSelection);
    connect(ItemAs<QPushButton>(kGoToId), &QPushButton::clicked, this, &CFormView_Scope::OnGoTo);
    connect(ItemAs<QPushButton>(kSetDefaultsId), &QPushButton::clicked, this, &CFormView_Scope::OnSetDefaults);
    connect(ItemAs<QPushButton>(kAutoSetId), &QPushButton::clicked, this, &CFormView_Scope::OnAutoSet);
    connect(ItemAs<QPushButton>(kClearAllId), &QPushButton::clicked, this, &CFormView_Scope::OnClearAll);
    connect(ItemAs<QPushButton>(kAddId), &QPushButton::clicked, this, &CFormView_Scope::OnAdd);
    connect(ItemAs<QPushButton>(kRemoveId), &QPushButton::clicked, this, &CFormView_Scope::OnRemoveSelected);
    connect(ItemAs<QPushButton>(kSourceInfoId), &QPushButton::clicked, this, &CFormView_Scope::OnSourceInfo);
    connect(ItemAs<QCheckBox>(kSyncId), &QCheckBox::clicked, this, &CFormView_Scope::OnSyncClicked);
    connect(m_list, &QTreeWidget::itemChanged, this, &CFormView_Scope::OnListItemChanged);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CFormView_Scope::OnListSelectionChanged);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const uint32_t id = SourceOfChannel(item->data(0, kChannelIdRole).toUInt());
        if (id != kNoSource)
            ShowSourceDetails(id);
    });
    for (int id : {kZoomId, kGoToId, kRemoveId, kSourceInfoId})
        Item(id)->setEnabled(false);
}

QGroupBox* CFormView_Scope::CreateParameters()
{
    auto* params = new QGroupBox(QStringLiteral("Plotting parameters"), this);
    auto* form = new QGridLayout(params);
    auto* horizontal = new QGroupBox(QStringLiteral(" Horizontal scaling "), params);
    auto* hGrid = new QGridLayout(horizontal);
    hGrid->addWidget(new QLabel(QStringLiteral("Data plot offset:"), horizontal), 0, 0);
    hGrid->addWidget(AddItem(new QLineEdit(horizontal), kOffsetId), 0, 1);
    hGrid->addWidget(new QLabel(QStringLiteral("samples"), horizontal), 0, 2);
    hGrid->addWidget(new QLabel(QStringLiteral("Data plot page size:"), horizontal), 1, 0);
    hGrid->addWidget(AddItem(new QLineEdit(horizontal), kPageSizeId), 1, 1);
    hGrid->addWidget(new QLabel(QStringLiteral("samples"), horizontal), 1, 2);
    auto* vertical = new QGroupBox(QStringLiteral(" Vertical scaling "), params);
    auto* vGrid = new QGridLayout(vertical);
    vGrid->addWidget(new QLabel(QStringLiteral("Min. sample value:"), vertical), 0, 0);
    vGrid->addWidget(AddItem(new QLineEdit(vertical), kMinId), 0, 1);
    vGrid->addWidget(new QLabel(QStringLiteral("Max. sample value:"), vertical), 1, 0);
    vGrid->addWidget(AddItem(new QLineEdit(vertical), kMaxId), 1, 1);
    form->addWidget(horizontal, 0, 0, 1, 2);
    form->addWidget(vertical, 0, 2, 1, 2);
    const std::pair<int, const char*> plotButtons[] = {{kApplyId, "Apply"},
                                                       {kZoomId, "&Zoom to Selection"},
                                                       {kGoToId, "Go To..."},
                                                       {kSetDefaultsId, "Set Defaults"},
                                                       {kAutoSetId, "Auto Set"}};
    // "Apply" under the edits, the others two by two on the right.
    int place = -1;
    for (const auto& [id, text] : plotButtons) {
        auto* button = AddItem(new QPushButton(QString::fromUtf8(text), params), id);
        if (place < 0)
            form->addWidget(button, 1, 0);
        else
            form->addWidget(button, 2 + place / 2, 2 + place % 2);
        ++place;
    }
    auto* sync = AddItem(new QCheckBox(QStringLiteral("Synchronize plot parameters to controller device"), params), kSyncId);
    // Offered only while the board is controlled.
    sync->setEnabled(false);
    form->addWidget(sync, 4, 0, 1, 4);
    form->addWidget(new QLabel(QStringLiteral("Mouse:"), params), 5, 0);
    form->addWidget(new QLabel(QStringLiteral("Right-drag to pan horizontally, scroll-wheel to zoom in-out horizontally"),
                               params),
                    5, 1, 1, 3);
    form->addWidget(new QLabel(QStringLiteral("Hold Ctrl while panning/zooming affects vertical"), params), 6, 1, 1, 3);
    return params;
}

void CFormView_Scope::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    GetDocument().SetScopeFormView(this);
    OnControllerChanged();
    if (m_list->headerItem()->text(0) != QStringLiteral("Source")) {
        m_list->setHeaderLabels({QStringLiteral("Source"), QStringLiteral("Channel"), QStringLiteral("Color")});
        SizeListColumns();
    }
}

void CFormView_Scope::SizeListColumns()
{
    // Shares of the width; a column whose texts need more takes it from the
    // others as far as their own texts allow.
    constexpr double kShares[] = {0.4, 0.3, 0.3};
    constexpr int kColumns = 3;
    const int w = std::max(0, m_list->viewport()->width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    const QAbstractItemView* view = m_list;
    int widths[kColumns];
    int needs[kColumns];
    int missing = 0;
    for (int c = 0; c < kColumns; ++c) {
        widths[c] = int(w * kShares[c]);
        needs[c] = std::max(view->sizeHintForColumn(c), m_list->header()->sectionSizeHint(c));
        missing += std::max(0, needs[c] - widths[c]);
        widths[c] = std::max(widths[c], needs[c]);
    }
    for (int c = 0; c < kColumns && missing > 0; ++c) {
        const int spare = std::min(missing, widths[c] - needs[c]);
        widths[c] -= spare;
        missing -= spare;
    }
    for (int c = 0; c < kColumns; ++c)
        m_list->setColumnWidth(c, widths[c]);
}

void CFormView_Scope::showEvent(QShowEvent* event)
{
    CSettingFormView::showEvent(event);
    // The page has its real size only once it is shown.
    if (!m_columnsSized) {
        m_columnsSized = true;
        SizeListColumns();
    }
}

void CFormView_Scope::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    switch (hint) {
    case dochint::kControllerRole: OnControllerChanged(); break;
    case dochint::kPlotParameters: SyncFromController(DISPID(reinterpret_cast<intptr_t>(object))); break;
    case dochint::kBeforeWorkspaceSave: StorePlotState(); break;
    case dochint::kAfterWorkspaceLoad: RestorePlotState(); break;
    case dochint::kScopeViewReady: ConnectToControl(); break;
    case dochint::kTriggerMode:
    case dochint::kBoardSettings:
    case dochint::kClock:
        // The labels follow the board only while they describe its data.
        if (m_labelSourceId == 0 || m_labelSourceId == FindBoardSourceId(GetDeviceHandle()))
            ApplyPlotOptions();
        break;
    case dochint::kPlotCleared: m_snapshotId = kNoSource; break;
    case dochint::kPlotOptions: ApplyPlotOptions(); break;
    default: break;
    }
}

void CFormView_Scope::ConnectToControl()
{
    m_scopeView = dynamic_cast<CScopeView*>(GetDocument().GetScopeView());
    IScopeTQ8* control = m_scopeView ? m_scopeView->GetControl() : nullptr;
    if (control && control != m_control.p) {
        Disconnect();
        m_control = control;
        Advise(IPropertyNotifySink::iid, &m_xPropertyNotify, m_cookies[0]);
        Advise(_IScopeTQ8Events::iid, &m_xScopeEvents, m_cookies[1]);
        Advise(_IScopeTQ8Events2::iid, &m_xScopeEvents2, m_cookies[2]);
        m_control->SetCustomLabelProvider(&m_xLabelProvider);
        ReadPlotParameters(kAllPlotParameters);
        ApplyPlotOptions();
        if (m_plotStatePending)
            RestorePlotState();
    }
    UpdateGoToButton();
}

void CFormView_Scope::Advise(const IID& iid, IUnknown* sink, uint32_t& cookie)
{
    CComPtr<IConnectionPointContainer> container;
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(m_control.QueryInterface(&container)) && SUCCEEDED(container->FindConnectionPoint(iid, &point)))
        if (FAILED(point->Advise(sink, &cookie)))
            cookie = 0;
}

void CFormView_Scope::Unadvise(const IID& iid, uint32_t& cookie)
{
    if (cookie == 0)
        return;
    CComPtr<IConnectionPointContainer> container;
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(m_control.QueryInterface(&container)) && SUCCEEDED(container->FindConnectionPoint(iid, &point)))
        point->Unadvise(cookie);
    cookie = 0;
}

void CFormView_Scope::Disconnect()
{
    if (!m_control)
        return;
    m_control->SetCustomLabelProvider(nullptr);
    Unadvise(IPropertyNotifySink::iid, m_cookies[0]);
    Unadvise(_IScopeTQ8Events::iid, m_cookies[1]);
    Unadvise(_IScopeTQ8Events2::iid, m_cookies[2]);
    // The snapshot source reads the panel's buffer: it must not outlive it.
    if (m_snapshotId != kNoSource)
        m_control->RemoveChannelSource(m_snapshotId);
    m_snapshotId = kNoSource;
    if (m_snapshot)
        SafeArrayDestroy(m_snapshot);
    m_snapshot = nullptr;
    m_control.Release();
}

// ---- Sinks -------------------------------------------------------------------------

template <class Self, class I>
static HRESULT SinkQueryInterface(Self* sink, const IID& iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (iid == IUnknown::iid || iid == I::iid) {
        *ppv = static_cast<I*>(sink);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CFormView_Scope::XPropertyNotify::QueryInterface(const IID& iid, void** ppv)
{
    return SinkQueryInterface<XPropertyNotify, IPropertyNotifySink>(this, iid, ppv);
}

HRESULT CFormView_Scope::XPropertyNotify::OnChanged(DISPID id)
{
    self->ReadPlotParameters(id);
    return S_OK;
}

HRESULT CFormView_Scope::XScopeEvents::QueryInterface(const IID& iid, void** ppv)
{
    return SinkQueryInterface<XScopeEvents, _IScopeTQ8Events>(this, iid, ppv);
}

HRESULT CFormView_Scope::XScopeEvents::OnSelectionChange(uint64_t start, uint64_t end)
{
    self->OnSelectionChange(start, end);
    return S_OK;
}

HRESULT CFormView_Scope::XScopeEvents::OnSourceAdded(uint32_t id)
{
    self->AddSourceRows(id);
    return S_OK;
}

HRESULT CFormView_Scope::XScopeEvents::OnSourceRemoved(uint32_t id)
{
    self->RemoveSourceRows(id);
    return S_OK;
}

HRESULT CFormView_Scope::XScopeEvents2::QueryInterface(const IID& iid, void** ppv)
{
    return SinkQueryInterface<XScopeEvents2, _IScopeTQ8Events2>(this, iid, ppv);
}

HRESULT CFormView_Scope::XScopeEvents2::OnSourceDataError(uint32_t id, BSTR reason)
{
    self->OnSourceDataError(id, reason);
    return S_OK;
}

HRESULT CFormView_Scope::XLabelProvider::QueryInterface(const IID& iid, void** ppv)
{
    return SinkQueryInterface<XLabelProvider, IScopeTQ8CustomLabelProvider>(this, iid, ppv);
}
