#include "AppMessages.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace vlt {
namespace {

IAppMessageTarget* TargetOf(QObject* object)
{
    return object ? dynamic_cast<IAppMessageTarget*>(object) : nullptr;
}

} // namespace

bool PostAppMessage(QObject* target, unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    IAppMessageTarget* handler = TargetOf(target);
    if (!handler)
        return false;
    // The target is the call's context: Qt drops the call if it dies first.
    return QMetaObject::invokeMethod(
        target, [handler, msg, wParam, lParam] { handler->OnAppMessage(msg, wParam, lParam); },
        Qt::QueuedConnection);
}

intptr_t SendAppMessage(QObject* target, unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    IAppMessageTarget* handler = TargetOf(target);
    if (!handler)
        return 0;
    if (target->thread() == QThread::currentThread())
        return handler->OnAppMessage(msg, wParam, lParam);
    intptr_t result = 0;
    QMetaObject::invokeMethod(
        target, [handler, msg, wParam, lParam, &result] { result = handler->OnAppMessage(msg, wParam, lParam); },
        Qt::BlockingQueuedConnection);
    return result;
}

} // namespace vlt
