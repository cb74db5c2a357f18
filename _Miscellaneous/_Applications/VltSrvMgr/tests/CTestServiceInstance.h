#pragma once
// A service instance for tests. Methods: "Echo" (parameter Text) replies
// with the text and the service's name; "Fail" returns -7 without a reply;
// "Big" (parameter Size) replies with that many 'x'; "Only:<name>" is
// handled only by the instance of that service; anything else: 0.
#include <atomic>
#include <string>

#include "IVltServiceInstance.h"

class CTestServiceInstance final : public IVltServiceInstance {
public:
    explicit CTestServiceInstance(std::string name);
    void Release() override;
    int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) override;

    static std::atomic<int> s_alive;

private:
    ~CTestServiceInstance();
    std::string m_name;
};
