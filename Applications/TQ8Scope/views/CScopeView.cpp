#include "CScopeView.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QWheelEvent>

#include "CMainDoc.h"
#include "ComCreate.h"
#include "FormControls.h"

CScopeView::CScopeView(CMainDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    m_doc.AddView(this);
}

CScopeView::~CScopeView()
{
    DestroyControl();
    m_doc.RemoveView(this);
}

bool CScopeView::Create()
{
    return vlt::PostAppMessage(this, WM_INITIALUPDATE, uintptr_t(-1), intptr_t(-1));
}

intptr_t CScopeView::OnAppMessage(unsigned msg, uintptr_t, intptr_t lParam)
{
    if (msg != WM_INITIALUPDATE)
        return 0;
    OnInitialUpdate(lParam);
    return 1;
}

void CScopeView::OnInitialUpdate(intptr_t lParam)
{
    // The framework's own update at frame creation makes nothing; only the
    // posted one does, and only once.
    if (lParam != -1 || m_site || m_control)
        return;
    m_creationFailed = true;
    if (CreateControl())
        m_creationFailed = !SetInitialProperties();
    if (m_creationFailed)
        DestroyControl();
    update();
    m_doc.SetScopeView(this);
}

bool CScopeView::CreateControl()
{
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(kProgId, &clsid)))
        return false;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid,
                                reinterpret_cast<void**>(&m_unknown))) ||
        !m_unknown)
        return false;
    CComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(m_unknown.QueryInterface(&persist)))
        persist->InitNew();
    CComPtr<IOleInPlaceObject> inplace;
    QWidget* window = nullptr;
    if (FAILED(m_unknown.QueryInterface(&inplace)) || FAILED(inplace->InPlaceActivate(this)) ||
        FAILED(inplace->GetWindow(&window)) || !window)
        return false;
    m_site = window;
    window->setObjectName(QString::number(kControlId));
    // Whoever focuses the view gives the keys to the plot.
    setFocusProxy(window);
    inplace->SetObjectRects(0, 0, width(), height());
    window->show();
    updateGeometry();
    return SUCCEEDED(m_unknown.QueryInterface(&m_control)) && m_control;
}

void CScopeView::DestroyControl()
{
    CComPtr<IOleInPlaceObject> inplace;
    if (m_unknown && SUCCEEDED(m_unknown.QueryInterface(&inplace)))
        inplace->InPlaceDeactivate();
    delete m_site.data();
    m_control.Release();
    m_unknown.Release();
}

bool CScopeView::SetInitialProperties()
{
    m_control->put_ScopeBackColor(0x733129);
    m_control->put_AutoXLabels(VARIANT_TRUE);
    m_control->put_MaxSampleValue(255);
    m_control->put_MinSampleValue(0);
    m_control->put_MaxPageWidth(0x100000);
    m_control->put_PageWidth(0x8000);
    m_control->put_ChannelColor(0, 0xEAEAEA);
    m_control->put_ChannelColor(1, 0x4080FF);
    m_control->put_ChannelColor(2, 0x00FFFF);
    m_control->put_ChannelColor(3, 0x00FF00);
    return true;
}

bool CScopeView::HasChannelSources() const
{
    uint32_t count = 0;
    if (!m_control || FAILED(m_control->GetChannelSourceCount(&count)))
        return false;
    return count > 0;
}

void CScopeView::ClearPlot()
{
    if (m_control) {
        m_control->ResetScopeData();
        m_control->put_Caption(nullptr);
    }
    m_doc.NotifyPlotCleared();
}

void CScopeView::OnDocumentUpdate(IDocView*, int, void*) {}

QSize CScopeView::minimumSizeHint() const
{
    const QSize control = m_site ? m_site->minimumSizeHint().expandedTo(QSize(0, 0)) : QSize(0, 0);
    return QSize(control.width(), control.height() + kLeastTraceHeight);
}

bool CScopeView::event(QEvent* event)
{
    // The control's least size changed (a caption, a label band or its
    // scroll bar came or went): so does the view's.
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QWidget::event(event);
}

void CScopeView::paintEvent(QPaintEvent*)
{
    if (!m_creationFailed)
        return;
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    const QString text = ToQt(kFailureText);
    const QFontMetrics metrics(painter.font());
    // Centred on the middle of the client area, the text's baseline through it.
    const int x = (r.left() + r.right() + 1) / 2 - metrics.horizontalAdvance(text) / 2;
    const int y = (r.top() + r.bottom() + 1) / 2;
    painter.drawText(x, y, text);
}

void CScopeView::resizeEvent(QResizeEvent* event)
{
    // A minimised window keeps its children's sizes here, so every resize
    // is a real one.
    QWidget::resizeEvent(event);
    CComPtr<IOleInPlaceObject> inplace;
    if (m_site && m_unknown && SUCCEEDED(m_unknown.QueryInterface(&inplace)))
        inplace->SetObjectRects(0, 0, event->size().width(), event->size().height());
}

void CScopeView::wheelEvent(QWheelEvent* event)
{
    if (!m_site || m_forwardingWheel) {
        QWidget::wheelEvent(event);
        return;
    }
    m_forwardingWheel = true;
    QWheelEvent copy(m_site->mapFrom(this, event->position()), event->globalPosition(), event->pixelDelta(),
                     event->angleDelta(), event->buttons(), event->modifiers(), event->phase(), event->inverted());
    QCoreApplication::sendEvent(m_site, &copy);
    m_forwardingWheel = false;
    event->accept();
}
