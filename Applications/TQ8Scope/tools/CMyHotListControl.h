#pragma once
// The places bar of the remote file dialog: a list of large icons with
// their labels that marks the item under the mouse and draws its items
// itself (rounded frame for the selected and the hot item, a gradient
// under the hot one).
#include <QListWidget>

class CMyHotListControl : public QListWidget {
public:
    explicit CMyHotListControl(QWidget* parent = nullptr);

    // The item under the mouse, -1 when none.
    int HotItem() const { return m_hotItem; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    class PlaceDelegate;
    void SetHotItem(int row);

    int m_hotItem = -1;
};
