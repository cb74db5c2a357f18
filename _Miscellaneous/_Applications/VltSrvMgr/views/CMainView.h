#pragma once
// The service host's form: the start/stop button, this computer's address
// and the list of hosted services with their ports. The list fills the
// lower part and follows the form's size; the button and the address stay.
#include "CFormView_WithEdit.h"

class CMainDoc;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CMainView : public CFormView_WithEdit {
    Q_OBJECT
public:
    static constexpr int IDD = 101;

    explicit CMainView(CMainDoc& doc, QWidget* parent = nullptr);

    // The first time, the main window is fitted to the form (shrinking
    // only) and may not be made smaller afterwards; every time, the address
    // is shown and the list emptied.
    void OnInitialUpdate();
    // Only hint 1 (services started or stopped) is acted on.
    void OnUpdate(int hint, bool running);

    // The form's size: 405 by 135 dialog units of its font.
    QSize sizeHint() const override;

    QPushButton* Button() const { return m_button; }
    QLineEdit* AddressEdit() const { return m_address; }
    QTreeWidget* ServiceList() const { return m_list; }

protected:
    // The list's columns are fitted again whenever the list changes size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitFrameToForm();
    // Every column as wide as its texts, the last one up to the list's edge.
    void FitColumns();
    void FillServiceList();

    CMainDoc& m_doc;
    QPushButton* m_button;
    QLineEdit* m_address;
    QTreeWidget* m_list;
    bool m_initialised = false;
};
