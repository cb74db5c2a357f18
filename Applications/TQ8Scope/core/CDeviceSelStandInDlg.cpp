#include "CDeviceSelStandInDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CDeviceManagerTQ8.h"
#include "ErrorBeep.h"
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

CDeviceSelStandInDlg::CDeviceSelStandInDlg(CDeviceManagerTQ8* devices, QWidget* parent, int kind, uint32_t flags)
    : QDialog(parent), m_devices(devices), m_kind(kind), m_flags(flags)
{
    setWindowTitle(QStringLiteral("TQ3300 Device Selection"));
    m_prompt = new QLabel(QStringLiteral("Which TQ3300 device would you like to use?"), this);
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Type")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode((flags & CDeviceManagerTQ8::kSelSingle) ? QAbstractItemView::SingleSelection
                                                                     : QAbstractItemView::ExtendedSelection);
    m_fileLabel = new QLabel(QStringLiteral("File:"), this);
    m_fileName = new QLabel(this);
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

void CDeviceSelStandInDlg::ExcludeDevice(TQ8_HANDLE handle)
{
    if (handle)
        m_exclude.insert(handle);
}

void CDeviceSelStandInDlg::SetDeviceSelected(TQ8_HANDLE handle, bool selected)
{
    if (selected)
        m_preselect.insert(handle);
    else
        m_preselect.erase(handle);
}

void CDeviceSelStandInDlg::SetPrompt(const std::wstring& text)
{
    if (!text.empty())
        m_prompt->setText(ToQString(text));
}

void CDeviceSelStandInDlg::SetFileName(const std::wstring& text)
{
    if (text.empty())
        return;
    m_fileName->setText(ToQString(text));
    m_fileLabel->show();
    m_fileName->show();
}

void CDeviceSelStandInDlg::AddRow(const QString& device, const QString& type, TQ8_HANDLE handle)
{
    auto* item = new QTreeWidgetItem(m_list, {device, type});
    item->setData(0, Qt::UserRole, HandleData(handle));
}

bool CDeviceSelStandInDlg::Populate()
{
    m_list->clear();
    if (m_flags & CDeviceManagerTQ8::kSelNoDeviceRow)
        AddRow(QStringLiteral("<No device>"), QStringLiteral("---"), nullptr);
    CDeviceManagerTQ8::HandleList boards;
    if (m_devices)
        m_devices->GetDevices(boards, m_kind, m_exclude);
    for (TQ8_HANDLE handle : boards)
        AddRow(QStringLiteral("TQ3300 #%1").arg(m_devices->GetSerialNumber(handle)), TypeText(handle), handle);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (m_preselect.count(HandleOf(item)))
            item->setSelected(true);
        if (m_list->selectionMode() == QAbstractItemView::SingleSelection && item->isSelected())
            break;
    }
    if (m_preselect.empty() && m_list->topLevelItemCount() > 0)
        m_list->topLevelItem(0)->setSelected(true);
    UpdateOkButton();
    return !boards.empty();
}

void CDeviceSelStandInDlg::UpdateOkButton()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_list->selectedItems().isEmpty());
}

int CDeviceSelStandInDlg::exec()
{
    m_selection.clear();
    if (!Populate()) {
        vlt::ErrorBeep();
        setResult(Rejected);
        return Rejected;
    }
    return QDialog::exec();
}

void CDeviceSelStandInDlg::accept()
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
