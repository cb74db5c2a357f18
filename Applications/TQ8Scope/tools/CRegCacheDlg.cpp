#include "CRegCacheDlg.h"

#include <ctime>
#include <cwchar>
#include <vector>

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>

#include "AtomicFile.h"
#include "ErrorBox.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "RegisterCacheDecode.h"
#include "TextConv.h"

bool CRegCacheDlg::s_fromHardware = false;

namespace {

QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

uint32_t SystemGreyText()
{
    const QColor c = QPalette().color(QPalette::Disabled, QPalette::Text);
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

QColor ColourOf(uint32_t value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace

CRegCacheDlg::CRegCacheDlg(QWidget* parent, TQ8_HANDLE device)
    : QDialog(parent), m_device(device), m_refreshCache(RefreshLocalRegisterCacheTQ8), m_lines(SystemGreyText())
{
    BuildControls();
    std::wstring name;
    GetBoardNameString(m_device, name, kErrorBoxNameFlags);
    setWindowTitle(ToQt(L"TQ3300 Register Cache - " + name));
    m_fromHardwareBox->setChecked(s_fromHardware);
    Rebuild();
    adjustSize();
    setMinimumSize(size());
}

void CRegCacheDlg::BuildControls()
{
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    m_lastUpdate = new QLabel(this);
    m_lastUpdate->setObjectName("lastUpdate");
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName("registerTree");
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    m_tree->setFont(font);
    m_tree->setMinimumSize(560, 360);
    m_refresh = new QPushButton(QStringLiteral("&Refresh Register Cache"), this);
    m_refresh->setObjectName("refreshCache");
    m_fromHardwareBox = new QCheckBox(QStringLiteral("Read from hardware registers"), this);
    m_fromHardwareBox->setObjectName("readFromHardware");
    m_export = new QPushButton(QStringLiteral("E&xport..."), this);
    m_export->setObjectName("exportDump");
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName("ok");
    m_ok->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_lastUpdate, 0, 0, 1, 5);
    grid->addWidget(m_tree, 1, 0, 1, 5);
    grid->addWidget(m_refresh, 2, 0);
    grid->addWidget(m_fromHardwareBox, 2, 1);
    grid->addWidget(m_export, 2, 2);
    grid->setColumnStretch(3, 1);
    grid->addWidget(m_ok, 2, 4);
    grid->setRowStretch(1, 1);

    connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(m_export, &QPushButton::clicked, this, [this] { Export(); });
    connect(m_ok, &QPushButton::clicked, this, &CRegCacheDlg::accept);
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnExpansion(item, true); });
    connect(m_tree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { OnExpansion(item, false); });
}

void CRegCacheDlg::accept()
{
    s_fromHardware = m_fromHardwareBox->isChecked();
    QDialog::accept();
}

bool CRegCacheDlg::Refresh()
{
    const int32_t result = m_refreshCache(m_device, m_fromHardwareBox->isChecked() ? 1 : 0);
    if (result != TQ8_OK) {
        // No board name: the caption already names the board.
        ShowDeviceErrorBox(result, L"Failed to refresh register cache: ", nullptr);
        return false;
    }
    Rebuild();
    return true;
}

std::wstring CRegCacheDlg::LastUpdateText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    wchar_t buffer[128];
    if (!localtime_r(&now, &local) || std::wcsftime(buffer, 128, L"Last update: %c", &local) == 0)
        return {};
    return buffer;
}

void CRegCacheDlg::Rebuild()
{
    m_rebuilding = true;
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    m_lines.Clear();
    BuildRegisterCacheLines(m_lines, m_device);
    FillTree();
    m_lastUpdate->setText(ToQt(LastUpdateText()));
    m_tree->setUpdatesEnabled(true);
    m_rebuilding = false;
}

// Lines that ask to be seen are scrolled to after the remembered expansion
// is restored; expansions made by the rebuild itself are not remembered.
void CRegCacheDlg::FillTree()
{
    const std::vector<CRegisterLines::Line>& lines = m_lines.Lines();
    std::vector<QTreeWidgetItem*> items(lines.size(), nullptr);
    std::vector<QTreeWidgetItem*> toShow;
    for (size_t i = 0; i < lines.size(); ++i) {
        const CRegisterLines::Line& line = lines[i];
        QTreeWidgetItem* item = line.parent == CRegisterLines::kNone ? new QTreeWidgetItem(m_tree)
                                                                     : new QTreeWidgetItem(items[line.parent]);
        item->setText(0, ToQt(line.text));
        item->setData(0, kValueRole, line.value);
        if (line.value & CRegisterLines::kColourFlag)
            item->setForeground(0, ColourOf(line.value));
        if (line.scrollIntoView)
            toShow.push_back(item);
        items[i] = item;
    }
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        RestoreExpansion(m_tree->topLevelItem(i));
    for (QTreeWidgetItem* item : toShow)
        m_tree->scrollToItem(item);
}

void CRegCacheDlg::RestoreExpansion(QTreeWidgetItem* item)
{
    const uint32_t value = item->data(0, kValueRole).toUInt();
    if (value != 0 && m_expanded.count(static_cast<int32_t>(value)))
        item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        RestoreExpansion(item->child(i));
}

void CRegCacheDlg::OnExpansion(QTreeWidgetItem* item, bool expanded)
{
    if (m_rebuilding)
        return;
    const int32_t value = static_cast<int32_t>(item->data(0, kValueRole).toUInt());
    if (expanded)
        m_expanded.insert(value);
    else
        m_expanded.erase(value);
}

bool CRegCacheDlg::Export()
{
    vlt::FileDialogRequest request;
    request.open = false;
    request.fileName = L"TQ3300 Register Dump";
    request.defaultExt = L"txt";
    request.filter = L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    request.overwritePrompt = true;
    const std::optional<std::wstring> path = vlt::ShowFileDialog(request);
    if (!path)
        return false;
    std::string error;
    if (!vlt::AtomicWriteFile(vlt::WideToUtf8(*path), m_lines.ExportText(), &error)) {
        vlt::ShowMessageBox(L"Failed to write the register dump: " + vlt::Utf8ToWide(error), MB_ICONERROR, this);
        return false;
    }
    return true;
}
