#include "MessageBoxWatch.h"

namespace vlt {

MessageBoxWatch& MessageBoxWatch::Instance()
{
    static MessageBoxWatch watch;
    return watch;
}

} // namespace vlt
