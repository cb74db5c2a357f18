#pragma once
// Building service requests and reading service replies: the request text a
// board's service host understands, and the named return values under
// "/VltServiceResponse/ReturnData" of its reply.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <libxml/tree.h>

constexpr int32_t kServiceResultMissing = -544;

// Name and value pairs, sent in the order added. Values are XML-escaped.
using ServiceRequestParams = std::vector<std::pair<std::string, std::string>>;

// Appends a pair with the value escaped for XML (names are used as given).
void AddServiceRequestParam(ServiceRequestParams& params, const std::string& name, std::string value);

// Replaces text by the request for the method ("ping" when null) with the
// parameters, or with no Parameters element when params is null. Always 0.
int32_t BuildServiceRequest(const char* method, const ServiceRequestParams* params, std::string& text);

std::string UIntToString(uint32_t value);

// 0 with the value; -2 without a document; -544 when the item is missing or
// its whole text is not one signed 32-bit number.
int32_t GetServiceReturnInt(xmlDocPtr reply, const char* item, int32_t& value);
// 0 with the item's text; -2 without a document; -544 when missing or empty.
int32_t GetServiceReturnString(xmlDocPtr reply, const char* item, std::string& value);

// True when the reply says the call failed: error="true" or handled="false"
// on its root. errorText receives its ErrorText, if any.
bool IsServiceErrorReply(xmlDocPtr reply, std::string* errorText = nullptr);

// The whole text one unsigned number (leading blanks allowed, nothing after
// it, no minus sign, within range); the target is unchanged otherwise.
bool ParseULongStrict(const std::string& text, uint32_t& value);
bool ParseUInt64Strict(const std::string& text, uint64_t& value);
