#include "MessageBox.h"

#include <mutex>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include "CopyWithoutBreaks.h"
#include "MessageBoxWatch.h"
#include "Mnemonic.h"
#include "TextConv.h"

namespace vlt {
namespace {

std::mutex g_mutex;
MessageBoxHandler g_handler;
std::wstring g_caption;

QMessageBox::Icon IconOf(unsigned style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// A box wraps its text at blanks only: a long path would run past its right
// edge. Such a run may break after each folder separator, and where it has
// none for long, anywhere.
std::wstring WithBreaksInLongRuns(const std::wstring& text)
{
    constexpr size_t kLongRun = 40;
    std::wstring out;
    size_t run = 0, sinceBreak = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool blank = c == L' ' || c == L'\n' || c == L'\t';
        if (blank) {
            run = sinceBreak = 0;
            out += c;
            continue;
        }
        if (run == 0) {
            // The run's length decides whether it gets breaks.
            const size_t end = text.find_first_of(L" \n\t", i);
            run = (end == std::wstring::npos ? text.size() : end) - i;
        }
        out += c;
        ++sinceBreak;
        if (run > kLongRun && (c == L'\\' || c == L'/' || sinceBreak >= kLongRun)) {
            out += kBoxTextBreak;
            sinceBreak = 0;
        }
    }
    return out;
}

int RealBox(const MessageBoxRequest& req)
{
    QMessageBox box(IconOf(req.style), QString::fromStdString(WideToUtf8(req.caption)),
                    QString::fromStdWString(WithBreaksInLongRuns(req.text)), QMessageBox::NoButton, req.parent);
    new CopyWithoutBreaks(box);
    // A box's text often holds a name or a path: it is shown as it is, with
    // every '&' and nothing read as markup.
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>())
        SetNoPrefix(label);
    switch (req.style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return DefaultCloseAnswer(req.style);
    }
}

// While a box is up, the window it belongs to is drawn behind it, also
// when the window's updates are off for a long change (a workspace load):
// otherwise the screen behind the box keeps whatever covered the window
// last, such as a closed file dialog. The box is counted as open meanwhile.
class BoxScope {
public:
    explicit BoxScope(QWidget* parent)
    {
        MessageBoxWatch::Instance().Opened();
        if (!qApp || QThread::currentThread() != qApp->thread())
            return;
        QWidget* window = parent ? parent->window() : QApplication::activeWindow();
        if (window && !window->updatesEnabled()) {
            m_lockedWindow = window;
            window->setUpdatesEnabled(true);
        }
    }
    ~BoxScope()
    {
        if (m_lockedWindow)
            m_lockedWindow->setUpdatesEnabled(false);
        MessageBoxWatch::Instance().Answered();
    }
    BoxScope(const BoxScope&) = delete;
    BoxScope& operator=(const BoxScope&) = delete;

private:
    QPointer<QWidget> m_lockedWindow;
};

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard lock(g_mutex);
    MessageBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

void SetMessageBoxCaption(const std::wstring& caption)
{
    std::lock_guard lock(g_mutex);
    g_caption = caption;
}

std::wstring GetMessageBoxCaption()
{
    std::lock_guard lock(g_mutex);
    return g_caption;
}

int DefaultCloseAnswer(unsigned style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    default:
        return IDOK;
    }
}

int ShowMessageBox(const std::wstring& text, unsigned style, QWidget* parent)
{
    MessageBoxRequest req{text, GetMessageBoxCaption(), style, parent};
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    BoxScope open(parent);
    if (handler)
        return handler(req);
    return RealBox(req);
}

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& req) {
        m_boxes.push_back(req);
        if (m_answers.empty())
            return DefaultCloseAnswer(req.style);
        int answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHandler(std::move(m_previous));
}

} // namespace vlt
