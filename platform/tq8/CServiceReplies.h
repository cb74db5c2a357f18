#pragma once
// The service replies the library has handed out, so that freeing one it
// did not hand out (or one already freed) is refused rather than undefined.
#include <mutex>
#include <unordered_set>

#include <libxml/tree.h>

namespace tq8 {

class CServiceReplies {
public:
    static CServiceReplies& Instance();

    void Add(xmlDocPtr reply);
    // False for a pointer not handed out, or handed out and freed already.
    bool Free(void* reply);

private:
    CServiceReplies() = default;

    std::mutex m_mutex;
    std::unordered_set<void*> m_replies;
};

} // namespace tq8
