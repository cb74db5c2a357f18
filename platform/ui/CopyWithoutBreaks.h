#pragma once
// Text copied from a message box (a path, to paste elsewhere) reads as it
// was given, without the marks the box adds so that long runs can wrap.
#include <QObject>

class QMessageBox;

namespace vlt {

// Where a long run of a box's text may wrap: a zero-width space, which
// shows nothing.
inline constexpr wchar_t kBoxTextBreak = L'\u200B';

// Ctrl+C copies the selection of the box's text without the marks; what the
// other ways put on the clipboard (the label's menu, the mouse selection)
// loses them once the clipboard says it changed. Owned by its box; used on
// the user-interface thread only.
class CopyWithoutBreaks : public QObject {
public:
    explicit CopyWithoutBreaks(QMessageBox& box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vlt
