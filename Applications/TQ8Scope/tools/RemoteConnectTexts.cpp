#include "RemoteConnectTexts.h"

#include "NumberParse.h"

namespace remote_connect {

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::wstring Trim(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Digits only, read in base 10 also with leading zeros (no octal reading).
bool ParseDecimal(const std::wstring& text, uint32_t& value)
{
    if (text.empty())
        return false;
    std::string digits;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        digits += char(c);
    }
    return vlt::ParseNumberExact(digits, value);
}

} // namespace

BoardNumberResult ParseBoardNumber(const std::wstring& text, uint32_t& number)
{
    std::wstring rest = Trim(text);
    if (rest.empty())
        return BoardNumberResult::Empty;
    rest = Trim(rest.substr(0, rest.find(L':')));
    uint32_t value = 0;
    if (!ParseDecimal(rest, value))
        return BoardNumberResult::Invalid;
    number = value;
    return BoardNumberResult::Ok;
}

bool ParsePort(const std::wstring& text, uint16_t& port)
{
    const std::wstring trimmed = Trim(text);
    uint32_t value = 0;
    if (!ParseDecimal(trimmed, value) || value < kMinPort || value > kMaxPort)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

std::wstring DeviceItemText(size_t position, uint32_t serial)
{
    return std::to_wstring(position) + L" : SN:" + std::to_wstring(serial);
}

std::wstring ServerTestMessage(size_t count, const std::wstring& kindName)
{
    if (count == 0)
        return L"Server is running but has no " + kindName + L" devices";
    return L"Server has " + std::to_wstring(count) + L" " + kindName + L" device" + (count == 1 ? L"" : L"s");
}

std::wstring MalformedAddressMessage(const std::wstring& server)
{
    return L"\"" + server + L"\" is not a valid IP address: an IP address is four numbers from 0 to 255 separated "
                              L"by dots.";
}

bool IsServerAddressStorable(const std::wstring& server)
{
    return server.find(L'|') == std::wstring::npos;
}

} // namespace remote_connect
