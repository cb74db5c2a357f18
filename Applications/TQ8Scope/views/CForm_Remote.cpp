#include "CForm_Remote.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "CMainDoc.h"

CForm_Remote::CForm_Remote(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Remote server"), this);
    layout->addWidget(group);
    layout->addStretch(1);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Address:"), group), 0, 0);
    grid->addWidget(AddItem(new QLabel(QStringLiteral("---"), group), kServerId), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Port:"), group), 1, 0);
    grid->addWidget(AddItem(new QLabel(QStringLiteral("---"), group), kPortId), 1, 1);
}

CForm_Remote::~CForm_Remote() = default;

QSize CForm_Remote::GetTemplateSize()
{
    return {320, 90};
}

void CForm_Remote::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    wchar_t* server = nullptr;
    uint32_t port = 0;
    // After a failed query neither output can be trusted.
    const int32_t result = GetHostServerInfoWTQ8(GetDeviceHandle(), &server, &port);
    const QString serverText = server ? QString::fromWCharArray(server) : QString();
    if (server)
        FreeMemoryTQ8(server);
    if (result != 0)
        return;
    if (server)
        ItemAs<QLabel>(kServerId)->setText(serverText);
    ItemAs<QLabel>(kPortId)->setText(port != 0 ? QString::number(port) : QStringLiteral("(Local device)"));
}

void CForm_Remote::OnDocumentUpdate(IDocView*, int, void*) {}
