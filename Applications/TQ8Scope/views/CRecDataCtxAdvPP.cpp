#include "CRecDataCtxAdvPP.h"

#include <sstream>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "Mnemonic.h"

namespace {

// The library's text, freed once taken.
std::wstring TakeText(wchar_t* text)
{
    std::wstring taken = text ? text : L"";
    if (text)
        FreeMemoryTQ8(text);
    return taken;
}

} // namespace

CRecDataCtxAdvPP::CRecDataCtxAdvPP(QWidget* parent)
    : CPropertyPage(QStringLiteral("Advanced"), parent), m_source(new QLabel(this)), m_list(new QTreeWidget(this))
{
    m_source->setObjectName(QStringLiteral("sourceFile"));
    m_source->setWordWrap(true);
    vlt::SetNoPrefix(m_source);
    m_list->setObjectName(QStringLiteral("elements"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Element name"), QStringLiteral("Element value")});
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Source file:"), this));
    top->addWidget(m_source, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
}

CRecDataCtxAdvPP::~CRecDataCtxAdvPP()
{
    if (m_vrdc)
        CloseVrdcFileTQ8(m_vrdc);
}

bool CRecDataCtxAdvPP::OpenContextFile(const std::wstring& path)
{
    TQ8_VRDC_HANDLE vrdc = nullptr;
    if (OpenVrdcFileWTQ8(nullptr, &vrdc, path.c_str(), 10) != 0)
        return false;
    if (m_vrdc)
        CloseVrdcFileTQ8(m_vrdc);
    m_vrdc = vrdc;
    m_path = path;
    return true;
}

bool CRecDataCtxAdvPP::OnInitDialog()
{
    m_source->setText(QString::fromStdWString(m_path));
    const int half = std::max(0, m_list->viewport()->width() / 2 - 18);
    m_list->setColumnWidth(0, half);
    m_list->setColumnWidth(1, half);
    FillElements();
    return true;
}

void CRecDataCtxAdvPP::FillElements()
{
    if (!m_vrdc)
        return;
    wchar_t* namesText = nullptr;
    if (EnumVrdcItemsWTQ8(m_vrdc, &namesText, 0) != 0) {
        TakeText(namesText);
        return;
    }
    std::wistringstream names(TakeText(namesText));
    std::wstring name;
    while (names >> name) {
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, QString::fromStdWString(name));
        wchar_t* value = nullptr;
        if (GetVrdcItemWTQ8(m_vrdc, name.c_str(), &value) == 0 && value)
            row->setText(1, QString::fromStdWString(TakeText(value)));
        else
            TakeText(value);
    }
}
