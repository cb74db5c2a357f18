#include "CMainView.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "CMainDoc.h"
#include "ServiceListRows.h"

namespace {

constexpr int kFormWidthDlu = 405;
constexpr int kFormHeightDlu = 135;
// The list's columns at least as the form has them; wider where a text needs it.
constexpr int kColumnWidths[] = {125, 100, 250};
constexpr int kColumnCount = 3;

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CMainView::CMainView(CMainDoc& doc, QWidget* parent)
    : CFormView_WithEdit(IDD, parent)
    , m_doc(doc)
    , m_button(new QPushButton(QStringLiteral("Startup Services"), this))
    , m_address(new QLineEdit(this))
    , m_list(new QTreeWidget(this))
{
    m_button->setObjectName(QStringLiteral("button1000"));
    m_address->setObjectName(QStringLiteral("edit1001"));
    m_address->setReadOnly(true);
    m_list->setObjectName(QStringLiteral("list1006"));
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSortingEnabled(false);
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setStretchLastSection(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_button, 0, 0);
    auto* label = new QLabel(QStringLiteral("This computer's IP address:"), this);
    layout->addWidget(label, 0, 2, Qt::AlignRight);
    layout->addWidget(m_address, 0, 3);
    layout->addWidget(m_list, 1, 0, 1, 4);
    // The space between button and address takes what the width adds.
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
    connect(m_button, &QPushButton::clicked, this, [this] { m_doc.OnToggleServices(); });
    m_list->viewport()->installEventFilter(this);
    connect(&m_doc, &CMainDoc::viewsUpdated, this, &CMainView::OnUpdate);
}

QSize CMainView::sizeHint() const
{
    // Dialog units: a quarter of the font's mean letter width (taken over
    // the alphabet, as dialog templates measure it), an eighth of its height.
    const QFontMetrics metrics(font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int letterWidth = (alphabet / 26 + 1) / 2;
    return {kFormWidthDlu * letterWidth / 4, kFormHeightDlu * metrics.height() / 8};
}

void CMainView::OnInitialUpdate()
{
    if (!m_initialised)
        FitFrameToForm();
    m_initialised = true;
    m_address->setText(Text(m_doc.GetHostAddressText()));
    m_list->clear();
    m_list->setColumnCount(kColumnCount);
    m_list->setHeaderLabels({QStringLiteral("Service"), QStringLiteral("Port"), QStringLiteral("Description")});
    for (int column = 0; column < kColumnCount; ++column)
        m_list->headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    FitColumns();
}

void CMainView::FitColumns()
{
    const QAbstractItemView* view = m_list;
    int used = 0;
    for (int column = 0; column < kColumnCount; ++column) {
        int width = std::max({kColumnWidths[column], view->sizeHintForColumn(column),
                              m_list->header()->sectionSizeHint(column)});
        // The last column reaches the list's right edge, so that the header spans the list.
        if (column == kColumnCount - 1)
            width = std::max(width, m_list->viewport()->width() - used);
        m_list->setColumnWidth(column, width);
        used += width;
    }
}

bool CMainView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        FitColumns();
    return CFormView_WithEdit::eventFilter(watched, event);
}

void CMainView::FitFrameToForm()
{
    QWidget* frame = window();
    if (frame == this)
        return;
    if (QLayout* layout = frame->layout())
        layout->activate();
    frame->resize(frame->size().boundedTo(frame->sizeHint()));
    frame->setMinimumSize(frame->size());
}

void CMainView::OnUpdate(int hint, bool running)
{
    if (hint != CMainDoc::kHintServices)
        return;
    m_button->setText(running ? QStringLiteral("Shutdown Services") : QStringLiteral("Startup Services"));
    FillServiceList();
}

void CMainView::FillServiceList()
{
    m_list->clear();
    for (const ServiceListRow& row : ServiceListRows(m_doc.ServiceManager())) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, Text(row.name));
        item->setText(1, Text(row.port));
        if (!row.description.empty())
            item->setText(2, Text(row.description));
        for (int column = 0; column < kColumnCount; ++column)
            item->setToolTip(column, item->text(column));
    }
    FitColumns();
}
