#pragma once
// Texts and input rules of the remote connect dialogs, kept apart from the
// widgets.
#include <cstdint>
#include <string>
#include <vector>

namespace remote_connect {

// The board-number box: trimmed, cut at the first ":", trailing blanks
// removed, then a whole unsigned decimal number. Empty is told apart from
// malformed.
enum class BoardNumberResult { Ok, Empty, Invalid };
BoardNumberResult ParseBoardNumber(const std::wstring& text, uint32_t& number);

// Port text as an unsigned number within 1024..65535.
bool ParsePort(const std::wstring& text, uint16_t& port);
inline constexpr uint32_t kMinPort = 1024;
inline constexpr uint32_t kMaxPort = 65535;

// "%d : SN:%u", position counted from 1.
std::wstring DeviceItemText(size_t position, uint32_t serial);
// "Server has %u %s device%s" or "Server is running but has no %s devices".
std::wstring ServerTestMessage(size_t count, const std::wstring& kindName);

// For a server text of digits and dots that is no IP address.
std::wstring MalformedAddressMessage(const std::wstring& server);

// A "|" would split the recent-list entry of the server.
bool IsServerAddressStorable(const std::wstring& server);

} // namespace remote_connect
