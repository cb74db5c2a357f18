#include "CDeviceSelDlg.h"

#include <algorithm>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CDeviceManagerTQ8.h"
#include "ErrorBeep.h"
#include "Mnemonic.h"
#include "TextConv.h"

namespace {

QString ToQString(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

QVariant HandleData(TQ8_HANDLE handle)
{
    return QVariant::fromValue<qulonglong>(reinterpret_cast<uintptr_t>(handle));
}

TQ8_HANDLE HandleOf(const QTreeWidgetItem* item)
{
    return reinterpret_cast<TQ8_HANDLE>(static_cast<uintptr_t>(item->data(0, Qt::UserRole).toULongLong()));
}

QString TypeText(TQ8_HANDLE handle)
{
    if (IsDeviceRemoteTQ8(handle) > 0)
        return QStringLiteral("Remote Device");
    if (IsDeviceVirtualTQ8(handle) > 0)
        return QStringLiteral("Virtual Device");
    return QStringLiteral("Local Device");
}

} // namespace

CDeviceSelDlg::CDeviceSelDlg(CDeviceManagerTQ8* devices, QWidget* parent, int kind, uint32_t flags)
    : QDialog(parent), m_devices(devices), m_kind(kind), m_flags(flags)
{
    setWindowTitle(QStringLiteral("TQ3300 Device Selection"));
    m_prompt = new QLabel(QStringLiteral("Which TQ3300 device would you like to use?"), this);
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Type")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setUniformRowHeights(true);
    m_list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The header spans the list, as a report view's header does: the last
    // column takes what the two halves leave.
    m_list->header()->setStretchLastSection(true);
    m_list->setSelectionMode((flags & CDeviceManagerTQ8::kSelSingle) ? QAbstractItemView::SingleSelection
                                                                     : QAbstractItemView::ExtendedSelection);
    m_fileLabel = new QLabel(QStringLiteral("File:"), this);
    m_fileName = new QLabel(this);
    vlt::SetNoPrefix(m_fileName);
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fileLabel->hide();
    m_fileName->hide();
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_list);
    layout->addWidget(m_fileLabel);
    layout->addWidget(m_fileName);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateOkButton(); });
}

void CDeviceSelDlg::ExcludeDevice(TQ8_HANDLE handle)
{
    if (handle)
        m_exclude.insert(handle);
}

void CDeviceSelDlg::SetDeviceSelected(TQ8_HANDLE handle, bool selected)
{
    if (selected)
        m_preselect.insert(handle);
    else
        m_preselect.erase(handle);
}

void CDeviceSelDlg::SetPrompt(const std::wstring& text)
{
    if (!text.empty())
        m_prompt->setText(ToQString(text));
}

void CDeviceSelDlg::SetFileName(const std::wstring& text)
{
    if (text.empty())
        return;
    m_fileName->setText(ToQString(text));
    m_fileLabel->show();
    m_fileName->show();
}

void CDeviceSelDlg::AddRow(const QString& device, const QString& type, TQ8_HANDLE handle)
{
    auto* item = new QTreeWidgetItem(m_list, {device, type});
    item->setData(0, Qt::UserRole, HandleData(handle));
}

bool CDeviceSelDlg::Populate()
{
    m_list->clear();
    if (m_flags & CDeviceManagerTQ8::kSelNoDeviceRow)
        AddRow(QStringLiteral("<No device>"), QStringLiteral("---"), nullptr);
    CDeviceManagerTQ8::HandleList boards;
    if (m_devices)
        m_devices->GetDevices(boards, m_kind, m_exclude);
    for (TQ8_HANDLE handle : boards)
        AddRow(QStringLiteral("TQ3300 #%1").arg(m_devices->GetSerialNumber(handle)), TypeText(handle), handle);
    SelectPreselected();
    if (m_preselect.empty() && m_list->topLevelItemCount() > 0)
        m_list->topLevelItem(0)->setSelected(true);
    UpdateOkButton();
    return !boards.empty();
}

void CDeviceSelDlg::SelectPreselected()
{
    // Setting items selected bypasses the list's mode: keep single selection to one row.
    const bool single = m_list->selectionMode() == QAbstractItemView::SingleSelection;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (!m_preselect.count(HandleOf(item)))
            continue;
        item->setSelected(true);
        if (m_list->currentItem() == nullptr || single)
            m_list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        if (single)
            break;
    }
}

void CDeviceSelDlg::FitColumns()
{
    const int width = std::max(0, m_list->viewport()->width() / 2 - 16);
    m_list->setColumnWidth(0, width);
    m_list->setColumnWidth(1, width);
}

void CDeviceSelDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FitColumns();
}

void CDeviceSelDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The first resize comes before the list is shown and knows its real width.
    FitColumns();
}

void CDeviceSelDlg::UpdateOkButton()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_list->selectedItems().isEmpty());
}

int CDeviceSelDlg::exec()
{
    m_selection.clear();
    if (!Populate()) {
        vlt::ErrorBeep();
        setResult(Rejected);
        return Rejected;
    }
    return QDialog::exec();
}

void CDeviceSelDlg::accept()
{
    m_selection.clear();
    for (const QTreeWidgetItem* item : m_list->selectedItems())
        m_selection.insert(HandleOf(item));
    if (m_selection.empty()) {
        reject();
        return;
    }
    QDialog::accept();
}

void CDeviceSelDlg::Register()
{
    CDeviceManagerTQ8::SelectionDialogFactory() = [](CDeviceManagerTQ8& devices,
                                                      const CDeviceManagerTQ8::SelectionRequest& request,
                                                      CDeviceManagerTQ8::HandleList& chosen) {
        CDeviceSelDlg dlg(&devices, QApplication::activeWindow(), request.kind, request.flags);
        for (TQ8_HANDLE handle : request.exclude)
            dlg.ExcludeDevice(handle);
        for (TQ8_HANDLE handle : request.preselect)
            dlg.SetDeviceSelected(handle, true);
        dlg.SetPrompt(request.prompt);
        dlg.SetFileName(request.fileName);
        if (dlg.exec() == QDialog::Rejected || dlg.GetSelection().empty())
            return false;
        chosen.assign(dlg.GetSelection().begin(), dlg.GetSelection().end());
        return true;
    };
}
