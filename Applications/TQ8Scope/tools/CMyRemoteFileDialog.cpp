#include "CMyRemoteFileDialog.h"

#include <algorithm>
#include <chrono>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "CMyHotListControl.h"
#include "DeviceServiceSender.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "RemoteEntryOrder.h"
#include "RemoteFileIcons.h"
#include "RemoteFileRow.h"
#include "RemoteFileTexts.h"
#include "RemoteFileTypes.h"
#include "ServiceRequestRoutines.h"

namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 10;
constexpr uint32_t kFolderDesktop = 16;
constexpr uint32_t kFolderDocuments = 5;
// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference = 116444736000000000ull;

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

std::wstring W(const QString& text)
{
    return text.toStdWString();
}

std::wstring Trimmed(const std::wstring& text)
{
    return W(Q(text).trimmed());
}

uint64_t FileTimeNow()
{
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return kEpochDifference + static_cast<uint64_t>(since1970.count() / 100);
}

// The look-in list's drop-down shows each level indented under the one
// above it; the closed box shows the plain name.
class LookInDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + index.data(kIndentRole).toInt() * kIndentPixels);
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

QStandardItem* Cell(const std::wstring& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QStandardItem(Q(text));
    item->setEditable(false);
    item->setTextAlignment(alignment);
    return item;
}

} // namespace

CMyRemoteFileDialog::CMyRemoteFileDialog(QWidget* parent, bool open, TQ8_HANDLE device,
                                         const vlt::FileDialogRequest& settings, ServiceRequestSender sender)
    : QDialog(parent),
      m_open(open),
      m_device(device),
      m_settings(settings),
      m_requests(sender ? std::move(sender) : DeviceServiceSender(device))
{
    setWindowTitle(QStringLiteral("Open Remote File"));
    m_placesBar = new CMyHotListControl(this);
    m_placesBar->setObjectName(QStringLiteral("places"));
    m_placesBar->setFixedWidth(96);
    m_lookIn = new QComboBox(this);
    m_lookIn->setObjectName(QStringLiteral("lookIn"));
    m_lookIn->setItemDelegate(new LookInDelegate(m_lookIn));
    m_model = new QStandardItemModel(0, 4, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                                        QStringLiteral("Date Modified")});
    m_model->setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    m_listView = new QListView(this);
    m_listView->setObjectName(QStringLiteral("fileList"));
    m_detailsView = new QTreeView(this);
    m_detailsView->setObjectName(QStringLiteral("fileDetails"));
    m_nameBox = new QLineEdit(this);
    m_nameBox->setObjectName(QStringLiteral("fileName"));
    m_typeList = new QComboBox(this);
    m_typeList->setObjectName(QStringLiteral("fileType"));
    m_views = new QStackedWidget(this);
    m_views->addWidget(m_listView);
    m_views->addWidget(m_detailsView);

    auto* lookInLabel = new QLabel(QStringLiteral("Look &in:"), this);
    lookInLabel->setBuddy(m_lookIn);
    auto* nameLabel = new QLabel(QStringLiteral("File &name:"), this);
    nameLabel->setBuddy(m_nameBox);
    auto* typeLabel = new QLabel(QStringLiteral("Files of &type:"), this);
    typeLabel->setBuddy(m_typeList);
    auto* ok = new QPushButton(m_open ? QStringLiteral("&Open") : QStringLiteral("&Save"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lookInLabel, 0, 1);
    grid->addWidget(m_lookIn, 0, 2);
    grid->setObjectName(QStringLiteral("layout"));
    grid->addWidget(m_placesBar, 1, 0, 3, 1);
    grid->addWidget(m_views, 1, 1, 1, 4);
    grid->addWidget(nameLabel, 2, 1);
    grid->addWidget(m_nameBox, 2, 2, 1, 2);
    grid->addWidget(ok, 2, 4);
    grid->addWidget(typeLabel, 3, 1);
    grid->addWidget(m_typeList, 3, 2, 1, 2);
    grid->addWidget(cancel, 3, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);
    setSizeGripEnabled(true);
    resize(620, 400);

    connect(ok, &QPushButton::clicked, this, &CMyRemoteFileDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CMyRemoteFileDialog::~CMyRemoteFileDialog() = default;

void CMyRemoteFileDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        Start();
    }
}

void CMyRemoteFileDialog::Start()
{
    setWindowIcon(QApplication::windowIcon());
    if (!m_settings.title.empty())
        setWindowTitle(Q(m_settings.title));
    else
        setWindowTitle(m_open ? QStringLiteral("Open Remote File") : QStringLiteral("Save Remote File"));
    setMinimumSize(size());
    CreateToolbar();
    AddPlaces();

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_listView),
                                    static_cast<QAbstractItemView*>(m_detailsView)}) {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::activated, this, &CMyRemoteFileDialog::OnActivated);
    }
    m_detailsView->setModel(m_model);
    m_listView->setModel(m_model);
    m_listView->setSelectionModel(m_detailsView->selectionModel());
    m_detailsView->setRootIsDecorated(false);
    m_detailsView->setUniformRowHeights(true);
    m_detailsView->setIconSize(QSize(16, 16));
    QHeaderView* header = m_detailsView->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    const int widths[] = {150, 75, 100, 150};
    for (int c = 0; c < 4; ++c)
        header->resizeSection(c, widths[c]);
    connect(header, &QHeaderView::sectionClicked, this, &CMyRemoteFileDialog::OnHeaderClicked);
    connect(m_detailsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMyRemoteFileDialog::OnRowSelected);
    connect(m_model, &QStandardItemModel::itemChanged, this, &CMyRemoteFileDialog::OnLabelEdited);
    SetView(kList);

    RemoteFileTypes::Instance().Lookup(L"*.exe");
    FillFilterList();
    connect(m_typeList, &QComboBox::currentIndexChanged, this, [this] { RefillFileList(); });
    connect(m_lookIn, &QComboBox::activated, this, &CMyRemoteFileDialog::OnLookIn);

    m_nameBox->setText(Q(m_settings.fileName));
    NavigateTo(FirstFolder(), true, false);
}

void CMyRemoteFileDialog::CreateToolbar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setIconSize(QSize(16, 16));
    QStyle* style = this->style();
    m_back = bar->addAction(style->standardIcon(QStyle::SP_ArrowBack), QString(), this, &CMyRemoteFileDialog::OnBack);
    m_back->setToolTip(QStringLiteral("Go To Last Folder Visited"));
    m_back->setObjectName(QStringLiteral("back"));
    m_up = bar->addAction(style->standardIcon(QStyle::SP_FileDialogToParent), QString(), this,
                          &CMyRemoteFileDialog::OnUp);
    m_up->setToolTip(QStringLiteral("Up One Level"));
    m_up->setObjectName(QStringLiteral("up"));
    m_newFolder = bar->addAction(style->standardIcon(QStyle::SP_FileDialogNewFolder), QString(), this,
                                 &CMyRemoteFileDialog::OnNewFolder);
    m_newFolder->setToolTip(QStringLiteral("Create New Folder"));
    m_newFolder->setObjectName(QStringLiteral("newFolder"));
    m_viewButton = new QToolButton(bar);
    m_viewButton->setObjectName(QStringLiteral("viewMenu"));
    m_viewButton->setIcon(style->standardIcon(QStyle::SP_FileDialogListView));
    m_viewButton->setToolTip(QStringLiteral("View Menu"));
    m_viewButton->setPopupMode(QToolButton::InstantPopup);
    connect(m_viewButton, &QToolButton::pressed, this, &CMyRemoteFileDialog::ShowViewMenu);
    bar->addWidget(m_viewButton);
    static_cast<QGridLayout*>(layout())->addWidget(bar, 0, 3, 1, 2, Qt::AlignRight);
}

void CMyRemoteFileDialog::AddPlaces()
{
    struct Known {
        int number;
        const wchar_t* label;
        uint32_t folder;
        const char* icon;
        QStyle::StandardPixmap fallback;
    };
    static const Known known[] = {
        {0, L"Remote Desktop", kFolderDesktop, "user-desktop", QStyle::SP_DesktopIcon},
        {1, L"Remote Documents", kFolderDocuments, "folder-documents", QStyle::SP_DirHomeIcon},
        {2, L"Remote Computer", CRemoteFileRequests::kFolderComputer, "computer", QStyle::SP_ComputerIcon},
    };
    for (const Known& place : known) {
        std::wstring path;
        if (!m_requests.GetRemoteSpecialFolder(place.folder, path))
            continue;
        m_places.push_back({place.number, place.label, path});
        const QIcon icon = RemoteFileIcons::Named(QString::fromLatin1(place.icon), place.fallback);
        auto* item = new QListWidgetItem(icon, Q(place.label));
        item->setData(kEntryRole, place.number);
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        m_placesBar->addItem(item);
    }
    connect(m_placesBar, &QListWidget::itemSelectionChanged, this, &CMyRemoteFileDialog::OnPlaceSelected);
}

void CMyRemoteFileDialog::FillFilterList()
{
    m_filter.Parse(m_settings.filter);
    for (const RemoteFileFilter::Entry& entry : m_filter.Entries())
        m_typeList->addItem(Q(entry.description));
    if (!m_filter.Entries().empty())
        m_typeList->setCurrentIndex(m_filter.InitialIndex(m_settings.filterIndex));
}

std::wstring CMyRemoteFileDialog::FirstFolder()
{
    if (!m_settings.folder.empty())
        return m_settings.folder;
    std::wstring path;
    if (m_requests.GetRemoteSpecialFolder(kFolderDocuments, path)
        || m_requests.GetRemoteSpecialFolder(kFolderDesktop, path))
        return path;
    return L"C:\\";
}

bool CMyRemoteFileDialog::NavigateTo(const std::wstring& path, bool addToHistory, bool quiet)
{
    if (!m_requests.RemoteDirectoryExists(path)) {
        if (!quiet)
            vlt::ShowMessageBox(path + L"\n\nPath does not exist. Please verify the correct path was given",
                                MB_ICONERROR | MB_OK, this);
        return false;
    }
    // Listed into a list of its own: on failure the rows keep pointing at
    // the entries they were made from.
    std::vector<CRemoteFileEntry> listed;
    const int32_t rc = m_requests.EnumRemoteFiles(path, listed, m_view == kDetails);
    if (rc != 0) {
        if (!quiet)
            ShowRequestError(rc, L"Failed to obtain remote files: ");
        return false;
    }
    m_entries = std::move(listed);
    m_folder = path;
    if (addToHistory)
        m_history.Add(path);
    RefillFileList();
    UpdateNavigationState();
    return true;
}

bool CMyRemoteFileDialog::Refresh(const wchar_t* failurePrefix)
{
    std::vector<CRemoteFileEntry> listed;
    const int32_t rc = m_requests.EnumRemoteFiles(m_folder, listed, m_view == kDetails);
    if (rc != 0) {
        ShowRequestError(rc, failurePrefix);
        return false;
    }
    m_entries = std::move(listed);
    RefillFileList();
    return true;
}

void CMyRemoteFileDialog::RefillFileList()
{
    const int selected = m_typeList->count() > 0 ? m_typeList->currentIndex() : -1;
    std::vector<size_t> shown;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const CRemoteFileEntry& entry = m_entries[i];
        if (entry.name.empty())
            continue;
        if (AtComputerLevel() || RemoteFileRow::Shows(entry, m_filter, selected))
            shown.push_back(i);
    }
    FillRows(std::move(shown));
}

void CMyRemoteFileDialog::FillRows(std::vector<size_t> entryIndexes)
{
    const RemoteEntryOrder order(m_sortColumn, m_sortDescending, AtComputerLevel(), RemoteFileTypes::Instance());
    // The rows' type texts enter the cache that the Type order reads.
    std::vector<QList<QStandardItem*>> rows;
    rows.reserve(entryIndexes.size());
    for (size_t index : entryIndexes)
        rows.push_back(MakeRow(index));
    std::vector<size_t> positions(entryIndexes.size());
    for (size_t i = 0; i < positions.size(); ++i)
        positions[i] = i;
    std::stable_sort(positions.begin(), positions.end(), [&](size_t a, size_t b) {
        return order(m_entries[entryIndexes[a]], m_entries[entryIndexes[b]]);
    });
    m_fillingRows = true;
    setUpdatesEnabled(false);
    m_model->removeRows(0, m_model->rowCount());
    for (size_t position : positions)
        m_model->appendRow(rows[position]);
    setUpdatesEnabled(true);
    m_fillingRows = false;
}

QList<QStandardItem*> CMyRemoteFileDialog::MakeRow(size_t entryIndex) const
{
    const CRemoteFileEntry& entry = m_entries[entryIndex];
    const RemoteFileRow row = AtComputerLevel() ? RemoteFileRow::ForDrive(entry)
                                                : RemoteFileRow::ForFile(entry, RemoteFileTypes::Instance());
    auto* name = new QStandardItem(RemoteFileIcons::ForRow(row), Q(row.name));
    name->setData(static_cast<qulonglong>(entryIndex), kEntryRole);
    name->setEditable(!AtComputerLevel());
    return {name, Cell(row.size, Qt::AlignRight | Qt::AlignVCenter), Cell(row.type), Cell(row.date)};
}

void CMyRemoteFileDialog::UpdateNavigationState()
{
    m_back->setEnabled(m_history.CanGoBack());
    m_up->setEnabled(RemoteFolderHistory::CanGoUp(m_folder));
    m_suppressPlaceNavigation = true;
    // The bar's rows are the places in their order.
    int match = -1;
    for (size_t i = 0; i < m_places.size() && match < 0; ++i) {
        if (RemoteFolderHistory::SameFolder(m_places[i].path, m_folder))
            match = static_cast<int>(i);
    }
    if (match >= 0)
        m_placesBar->setCurrentRow(match);
    else
        m_placesBar->clearSelection();
    m_suppressPlaceNavigation = false;
    RebuildLookIn();
}

void CMyRemoteFileDialog::RebuildLookIn()
{
    m_lookIn->setUpdatesEnabled(false);
    m_lookIn->clear();
    m_lookIn->addItem(RemoteFileIcons::Named(QStringLiteral("user-desktop"), QStyle::SP_DesktopIcon),
                      QStringLiteral("Remote Computer"));
    const QIcon folder = RemoteFileIcons::Named(QStringLiteral("folder-open"), QStyle::SP_DirOpenIcon);
    for (const std::wstring& part : RemoteFolderHistory::LookInItems(m_folder)) {
        m_lookIn->addItem(folder, Q(part), Q(part));
        m_lookIn->setItemData(m_lookIn->count() - 1, m_lookIn->count() - 1, kIndentRole);
    }
    m_lookInCurrent = m_lookIn->count() - 1;
    m_lookIn->setCurrentIndex(m_lookInCurrent);
    m_lookIn->setUpdatesEnabled(true);
}

void CMyRemoteFileDialog::OnLookIn(int index)
{
    if (index < 0 || index == m_lookInCurrent)
        return;
    if (index == 0) {
        NavigateTo(std::wstring(), true, false);
    } else {
        std::vector<std::wstring> parts;
        for (int i = 1; i < m_lookIn->count(); ++i)
            parts.push_back(W(m_lookIn->itemData(i).toString()));
        NavigateTo(RemoteFolderHistory::LookInPath(parts, static_cast<size_t>(index)), true, false);
    }
    m_lookIn->setCurrentIndex(m_lookInCurrent);
}

void CMyRemoteFileDialog::OnBack()
{
    if (!m_history.CanGoBack()) {
        vlt::ErrorBeep();
        return;
    }
    const std::wstring previous = m_history.Back();
    NavigateTo(previous, false, false);
}

void CMyRemoteFileDialog::OnUp()
{
    std::wstring target;
    if (!RemoteFolderHistory::UpTarget(m_folder, target)) {
        vlt::ErrorBeep();
        return;
    }
    NavigateTo(target, true, false);
}

void CMyRemoteFileDialog::OnPlaceSelected()
{
    if (m_suppressPlaceNavigation)
        return;
    const QList<QListWidgetItem*> selected = m_placesBar->selectedItems();
    if (selected.isEmpty())
        return;
    const int number = selected.front()->data(kEntryRole).toInt();
    auto place = std::find_if(m_places.begin(), m_places.end(),
                              [number](const Place& p) { return p.number == number; });
    if (place == m_places.end()) {
        vlt::ErrorBeep();
        return;
    }
    // A place that cannot be shown gives its highlight back.
    if (!NavigateTo(place->path, true, false))
        UpdateNavigationState();
}

void CMyRemoteFileDialog::ShowViewMenu()
{
    QMenu menu(this);
    const std::pair<View, QString> items[] = {
        {kIcons, QStringLiteral("Icons")}, {kList, QStringLiteral("List")}, {kDetails, QStringLiteral("Details")}};
    for (const auto& [view, text] : items) {
        QAction* action = menu.addAction(text);
        action->setCheckable(true);
        action->setChecked(view == m_view);
        action->setData(static_cast<int>(view));
    }
    QAction* chosen = menu.exec(m_viewButton->mapToGlobal(QPoint(0, m_viewButton->height())));
    m_viewButton->setDown(false);
    if (chosen)
        SetView(static_cast<View>(chosen->data().toInt()));
}

void CMyRemoteFileDialog::SetView(View view)
{
    m_view = view;
    if (view == kDetails) {
        m_views->setCurrentWidget(m_detailsView);
        return;
    }
    m_views->setCurrentWidget(m_listView);
    const bool icons = view == kIcons;
    m_listView->setViewMode(icons ? QListView::IconMode : QListView::ListMode);
    m_listView->setIconSize(icons ? QSize(32, 32) : QSize(16, 16));
    m_listView->setFlow(icons ? QListView::LeftToRight : QListView::TopToBottom);
    m_listView->setWrapping(true);
    m_listView->setResizeMode(QListView::Adjust);
    m_listView->setMovement(QListView::Static);
    m_listView->setGridSize(icons ? QSize(88, 64) : QSize());
}

void CMyRemoteFileDialog::OnHeaderClicked(int column)
{
    RemoteEntryOrder::OnHeaderClick(column, m_sortColumn, m_sortDescending);
    QHeaderView* header = m_detailsView->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(m_sortColumn, m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    std::vector<size_t> present;
    for (int row = 0; row < m_model->rowCount(); ++row)
        present.push_back(EntryOfRow(row));
    FillRows(std::move(present));
}

QAbstractItemView* CMyRemoteFileDialog::CurrentView() const
{
    return m_view == kDetails ? static_cast<QAbstractItemView*>(m_detailsView) : m_listView;
}

int CMyRemoteFileDialog::SelectedRow() const
{
    // The details view selects whole rows, the icon and list views only the
    // name's cell: any selected cell names its row.
    int first = -1;
    for (const QModelIndex& index : m_detailsView->selectionModel()->selectedIndexes())
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

void CMyRemoteFileDialog::ShowRequestError(int32_t code, const wchar_t* prefix)
{
    // A request the file service refused carries its reason ("File exists"):
    // that says more than the library's text for a reply without a result.
    const std::wstring& reason = m_requests.GetLastServiceError();
    if (code != kServiceResultMissing || reason.empty()) {
        ShowDeviceErrorBox(code, prefix, m_device);
        return;
    }
    vlt::ShowMessageBox(ErrorBoxNamePrefix(m_device) + prefix + reason, MB_ICONERROR);
}

size_t CMyRemoteFileDialog::EntryOfRow(int row) const
{
    return static_cast<size_t>(m_model->item(row, 0)->data(kEntryRole).toULongLong());
}

void CMyRemoteFileDialog::OnRowSelected()
{
    const int row = SelectedRow();
    if (row < 0 || AtComputerLevel() || m_entries[EntryOfRow(row)].IsDirectory())
        return;
    m_nameBox->setText(m_model->item(row, 0)->text());
}

void CMyRemoteFileDialog::OnActivated(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const CRemoteFileEntry entry = m_entries[EntryOfRow(index.row())];
    if (AtComputerLevel()) {
        NavigateTo(entry.name, true, false);
    } else if (entry.IsDirectory()) {
        NavigateTo(RemoteFolderHistory::Join(m_folder, entry.name), true, false);
    } else if (RemoteFileRow::IsShortcut(entry)) {
        if (m_requests.RemoteDirectoryExists(entry.secondText)) {
            NavigateTo(entry.secondText, true, false);
            return;
        }
        const size_t slash = entry.secondText.rfind(L'\\');
        const std::wstring folder = slash == std::wstring::npos ? std::wstring() : entry.secondText.substr(0, slash);
        if (NavigateTo(folder, true, false))
            AcceptFileName(entry.secondText.substr(slash == std::wstring::npos ? 0 : slash + 1));
    } else {
        AcceptFileName(entry.name);
    }
}

void CMyRemoteFileDialog::accept()
{
    const std::wstring text = Trimmed(W(m_nameBox->text()));
    if (text.empty()) {
        Refresh(L"Failed to refresh files: ");
        return;
    }
    const size_t slash = text.rfind(L'\\');
    if (slash == std::wstring::npos) {
        AcceptFileName(text);
        return;
    }
    const std::wstring path = RemoteFolderHistory::IsRelative(text) ? RemoteFolderHistory::Join(m_folder, text) : text;
    if (m_requests.RemoteDirectoryExists(path)) {
        if (NavigateTo(path, true, false))
            m_nameBox->clear();
        return;
    }
    const size_t last = path.rfind(L'\\');
    std::wstring name = path.substr(last + 1);
    name.erase(0, name.find_first_not_of(L' '));
    if (NavigateTo(path.substr(0, last), true, false))
        AcceptFileName(name);
}

bool CMyRemoteFileDialog::AcceptFileName(std::wstring name)
{
    if (remote_files::HasInvalidNameCharacters(name)) {
        vlt::ShowMessageBox(remote_files::InvalidNameMessage(name), MB_ICONERROR | MB_OK, this);
        return false;
    }
    // No file can be named at the computer level, only drives.
    if (name.empty() || AtComputerLevel()) {
        vlt::ErrorBeep();
        return false;
    }
    if (name.find(L'.') == std::wstring::npos && !m_settings.defaultExt.empty())
        name += L"." + m_settings.defaultExt;
    const std::wstring path = RemoteFolderHistory::Join(m_folder, name);
    // A check that fails counts as "exists": better one question too many
    // than a file replaced unasked.
    if (!m_open && m_settings.overwritePrompt && m_requests.RemoteFileExists(path)
        && vlt::ShowMessageBox(path + L" already exists. Do you want to replace it?", MB_YESNO | MB_ICONQUESTION,
                               this) != IDYES)
        return false;
    m_chosenPath = path;
    QDialog::accept();
    return true;
}

bool CMyRemoteFileDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || (watched != m_listView && watched != m_detailsView))
        return QDialog::eventFilter(watched, event);
    auto* view = static_cast<QAbstractItemView*>(watched);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // Keys an open label editor passes on belong to it; Enter, which ends
    // the edit, must not reach the dialog's default button either.
    const QWidget* focus = QApplication::focusWidget();
    if (focus && focus != view && view->isAncestorOf(focus))
        return enter;
    switch (key) {
    case Qt::Key_Delete: OnDelete(); return true;
    case Qt::Key_F2: OnRename(); return true;
    case Qt::Key_F5: Refresh(L"Failed to refresh files: "); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Opens the row; the dialog's default button must not see it too.
        OnActivated(view->currentIndex());
        return true;
    default: return false;
    }
}

void CMyRemoteFileDialog::OnDelete()
{
    const int row = SelectedRow();
    if (row < 0) {
        vlt::ErrorBeep();
        return;
    }
    const size_t index = EntryOfRow(row);
    const CRemoteFileEntry& entry = m_entries[index];
    const std::wstring shown = m_model->item(row, 0)->text().toStdWString();
    const std::wstring question = entry.IsDirectory()
        ? L"Are you sure you want to permanently delete directory '" + shown
            + L"' and all of its contents?\n\nThis operation cannot be undone."
        : L"Are you sure you want to permanently delete '" + shown + L"'?\n\nThis operation cannot be undone.";
    if (vlt::ShowMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION, this) != IDYES)
        return;
    const int32_t rc = m_requests.DeleteRemoteFile(RemoteFolderHistory::Join(m_folder, entry.name));
    if (rc != 0) {
        ShowRequestError(rc, L"Failed to delete file: ");
        return;
    }
    // The entry stays (rows hold indexes) but no longer gets a row.
    m_entries[index].name.clear();
    m_model->removeRow(row);
}

void CMyRemoteFileDialog::OnRename()
{
    const int row = SelectedRow();
    if (row < 0) {
        vlt::ErrorBeep();
        return;
    }
    CurrentView()->edit(m_model->index(row, 0));
}

void CMyRemoteFileDialog::OnLabelEdited(QStandardItem* item)
{
    if (m_fillingRows || item->column() != 0)
        return;
    const size_t index = static_cast<size_t>(item->data(kEntryRole).toULongLong());
    CRemoteFileEntry& entry = m_entries[index];
    const RemoteFileRow shown = RemoteFileRow::ForFile(entry, RemoteFileTypes::Instance());
    const std::wstring typed = W(item->text());
    auto restore = [&] {
        m_fillingRows = true;
        item->setText(Q(shown.name));
        m_fillingRows = false;
    };
    if (typed == shown.name)
        return;
    if (typed.empty()) {
        restore();
        return;
    }
    // The same rule as a typed file name, and no "." or "..": the name must
    // stay a name inside this folder.
    if (!remote_files::IsValidNewName(typed)) {
        vlt::ShowMessageBox(remote_files::InvalidNameMessage(typed), MB_ICONERROR | MB_OK, this);
        restore();
        return;
    }
    // A shortcut's name is shown without its extension; it keeps it.
    const std::wstring newName = typed + shown.cutExtension;
    const int32_t rc = m_requests.RenameRemoteFile(m_folder, entry.name, newName);
    if (rc != 0) {
        ShowRequestError(rc, L"Failed to rename file or folder: ");
        restore();
        return;
    }
    entry.name = newName;
}

void CMyRemoteFileDialog::OnNewFolder()
{
    int n = 1;
    std::wstring candidate = remote_files::NewFolderCandidate(m_folder, n);
    while (m_requests.RemoteDirectoryExists(candidate)) {
        if (++n > remote_files::kMaxNewFolderCandidate) {
            vlt::ErrorBeep();
            return;
        }
        candidate = remote_files::NewFolderCandidate(m_folder, n);
    }
    const int32_t rc = m_requests.CreateRemoteDirectory(candidate);
    if (rc != 0) {
        ShowRequestError(rc, L"Failed to create remote directory: ");
        return;
    }
    CRemoteFileEntry entry;
    entry.name = candidate.substr(candidate.rfind(L'\\') + 1);
    entry.attributes = CRemoteFileEntry::kDirectoryAttribute;
    entry.time = FileTimeNow();
    m_entries.push_back(entry);
    m_fillingRows = true;
    m_model->appendRow(MakeRow(m_entries.size() - 1));
    m_fillingRows = false;
    QAbstractItemView* view = CurrentView();
    view->setFocus();
    const QModelIndex index = m_model->index(m_model->rowCount() - 1, 0);
    view->setCurrentIndex(index);
    view->edit(index);
}
