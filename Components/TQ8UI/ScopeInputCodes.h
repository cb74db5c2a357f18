#pragma once
// The request, key and button codes the plot control's input handling works
// in: the window's own codes are translated into these once, where the
// events arrive.
#include <cstdint>

namespace scopeinput {

// Horizontal scroll requests.
inline constexpr int SB_LINELEFT = 0;
inline constexpr int SB_LINERIGHT = 1;
inline constexpr int SB_PAGELEFT = 2;
inline constexpr int SB_PAGERIGHT = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_LEFT = 6;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_RIGHT = 7;
inline constexpr int SB_BOTTOM = 7;
inline constexpr int SB_ENDSCROLL = 8;

// Key state of mouse messages.
inline constexpr uint32_t MK_LBUTTON = 0x1;
inline constexpr uint32_t MK_RBUTTON = 0x2;
inline constexpr uint32_t MK_SHIFT = 0x4;
inline constexpr uint32_t MK_CONTROL = 0x8;
inline constexpr uint32_t MK_MBUTTON = 0x10;

// Keys.
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;

// Context menu commands.
inline constexpr int ID_ZOOM_OUT_TO_MAXIMUM = 32771;
inline constexpr int ID_ZOOM_TO_SELECTION = 32772;
inline constexpr int ID_LEGEND = 32776;
inline constexpr int ID_CHANNEL_FIRST = 32777; // + channel id, ids 0 to 15
inline constexpr int ID_REFRESH_CONTENT = 32793;

// The edge timer of drag panning.
inline constexpr unsigned kEdgeTimerId = 1;
inline constexpr int kEdgeTimerMs = 75;
inline constexpr int32_t kEdgeZone = 16;

} // namespace scopeinput
