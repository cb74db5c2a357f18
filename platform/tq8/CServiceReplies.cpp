#include "CServiceReplies.h"

namespace tq8 {

CServiceReplies& CServiceReplies::Instance()
{
    // Never destroyed: callers may free replies from static destructors.
    static CServiceReplies* replies = new CServiceReplies();
    return *replies;
}

void CServiceReplies::Add(xmlDocPtr reply)
{
    std::lock_guard lock(m_mutex);
    m_replies.insert(reply);
}

bool CServiceReplies::Free(void* reply)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_replies.erase(reply) == 0)
            return false;
    }
    xmlFreeDoc(static_cast<xmlDocPtr>(reply));
    return true;
}

} // namespace tq8
