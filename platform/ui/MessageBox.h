#pragma once
// Message boxes in the framework's style. Every box of the programs goes
// through ShowMessageBox, so that a test can answer it and read what it said.
#include <functional>
#include <string>
#include <vector>

class QWidget;

// Button sets and icons (combine one of each), and the answers.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_TYPEMASK = 0xF;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

namespace vlt {

struct MessageBoxRequest {
    std::wstring text;
    std::wstring caption;
    unsigned style = MB_OK;
    QWidget* parent = nullptr;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Installs a handler that answers every box instead of the screen; an empty
// handler restores the real box. Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Caption of every box: the application's title.
void SetMessageBoxCaption(const std::wstring& caption);
std::wstring GetMessageBoxCaption();

// Shows a modal box and returns IDOK, IDCANCEL, IDYES or IDNO. The text is
// shown as it is: no mnemonic, no markup.
int ShowMessageBox(const std::wstring& text, unsigned style = MB_OK, QWidget* parent = nullptr);

// The answer a box gives when it is closed without choosing (Escape or the
// close button): Cancel, else No, else OK.
int DefaultCloseAnswer(unsigned style);

// For tests: while it lives, boxes are recorded and answered from a queue of
// answers; when the queue is empty the close answer is given.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void QueueAnswer(int answer) { m_answers.push_back(answer); }
    const std::vector<MessageBoxRequest>& Boxes() const { return m_boxes; }
    size_t Count() const { return m_boxes.size(); }
    std::wstring LastText() const { return m_boxes.empty() ? std::wstring() : m_boxes.back().text; }
    void Clear() { m_boxes.clear(); }

private:
    std::vector<MessageBoxRequest> m_boxes;
    std::vector<int> m_answers;
    MessageBoxHandler m_previous;
};

} // namespace vlt

// The framework's short form: the application title as caption, no parent.
inline int AfxMessageBox(const std::wstring& text, unsigned style = MB_OK)
{
    return vlt::ShowMessageBox(text, style, nullptr);
}
