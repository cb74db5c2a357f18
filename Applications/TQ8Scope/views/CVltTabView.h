#pragma once
// The control panel of a board window: one tab per page along the bottom
// edge, one page shown at a time. It makes its pages from the factories it
// is given and knows nothing of boards. Each page gets a child id from one
// counter of the whole program; a switch tells both pages with WM_ACTIVATE
// (posted to pages that take messages).
#include <cstdint>

#include <QPointer>
#include <QRect>
#include <QTabWidget>

#include "IControlPanel.h"

inline constexpr unsigned WM_ACTIVATE = 0x0006;
inline constexpr uintptr_t WA_INACTIVE = 0;
inline constexpr uintptr_t WA_ACTIVE = 1;
// Added to the activation state while the board window is minimised.
inline constexpr uintptr_t kActivateMinimized = 0x1000000;

class CVltTabView : public QTabWidget, public IControlPanel {
    Q_OBJECT
public:
    explicit CVltTabView(QWidget* parent = nullptr);
    ~CVltTabView() override;

    // ---- IControlPanel
    int AddPage(int index, const std::wstring& caption, const PageFactory& factory, IBoardDocument& doc) override;
    int SelectPage(int index) override;

    void SwitchPages(QWidget* oldPage, QWidget* newPage);
    // Lays the pages out in the display rectangle: the area every page
    // occupies, in the view's coordinates.
    void RecalcLayout();
    QRect GetDisplayRect() const { return m_displayRect; }

    // The child id a page was given; -1 for a widget that is no page.
    static int GetPageId(const QWidget* page);
    // The id the next page will get.
    static int PeekNextPageId();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsFrameMinimized() const;
    void WatchFrame();
    void OnCurrentChanged(int index);

    QRect m_displayRect;
    QPointer<QWidget> m_shownPage;
    bool m_layoutPending = false;
};
