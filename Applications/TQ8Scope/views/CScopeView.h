#pragma once
// The upper pane of a board window: the plot control of the plot library,
// created by its ProgID through the component runtime and kept the size of
// the view. The scope panel drives the control through GetControl; the view
// itself only gives it the application's look and passes the wheel on.
#include <cstdint>

#include <QPointer>
#include <QWidget>

#include "AppMessages.h"
#include "CComPtr.h"
#include "IDocView.h"
#include "IScopeView.h"
#include "TQ8UI.h"

class CMainDoc;

class CScopeView : public QWidget, public IDocView, public IScopeView, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    static constexpr unsigned WM_INITIALUPDATE = 0x0364;
    static constexpr int kControlId = 0x8000;
    static constexpr const wchar_t* kProgId = L"TQ8UI.ScopeCtrl";
    static constexpr const wchar_t* kFailureText = L"Failed to create TQ3300 Scope ActiveX control!";
    // Rows of trace area (inside the axes) the plot keeps however small its
    // window's group: enough to read a trace, its Y labels well apart.
    static constexpr int kLeastTraceHeight = 150;

    CScopeView(CMainDoc& doc, QWidget* parent = nullptr);
    ~CScopeView() override;

    // Posts the initial update to itself, so that the control is made once
    // the frame is laid out.
    bool Create();
    // lParam -1: the self-posted update, which creates the control.
    void OnInitialUpdate(intptr_t lParam);
    virtual bool SetInitialProperties();

    // The control without a reference added; null when it does not exist.
    IScopeTQ8* GetControl() const { return m_control.p; }
    QWidget* GetControlWindow() const { return m_site.data(); }
    bool HasChannelSources() const;
    bool CreationFailed() const { return m_creationFailed; }
    // The control's least size with the least trace area added.
    QSize minimumSizeHint() const override;
    CMainDoc& GetDocument() const { return m_doc; }

    void ClearPlot() override;
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;
    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool CreateControl();
    void DestroyControl();

    CMainDoc& m_doc;
    QPointer<QWidget> m_site;
    CComPtr<IUnknown> m_unknown;
    CComPtr<IScopeTQ8> m_control;
    bool m_creationFailed = false;
    bool m_forwardingWheel = false;
};
