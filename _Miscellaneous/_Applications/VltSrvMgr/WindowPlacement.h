#pragma once
// The main window's remembered placement: the show command and the normal
// (restored) rectangle in screen coordinates, kept in the profile section
// "Settings" as "WndShowCmd", "WndLeft", "WndTop", "WndRight", "WndBottom".
#include <cstdint>
#include <optional>

struct WindowPlacement {
    // The show commands that matter here.
    static constexpr uint32_t kHide = 0;
    static constexpr uint32_t kShowNormal = 1;
    static constexpr uint32_t kShowMinimized = 2;
    static constexpr uint32_t kShowMaximized = 3;
    static constexpr uint32_t kMinimize = 6;
    // What a missing value reads as.
    static constexpr uint32_t kMissing = 0x87651234;

    uint32_t showCmd = kShowNormal;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    // The stored placement; none when any of the five values is missing.
    static std::optional<WindowPlacement> Load();
    bool Save() const;

    // Usable on a primary screen of this size: the left edge left of its
    // right side, the top edge above its bottom, and a rectangle that is not
    // empty.
    bool IsOnScreen(int32_t screenWidth, int32_t screenHeight) const;

    // The show command to restore with: a hidden or minimised window comes
    // back shown normally.
    uint32_t RestoreShowCommand() const;
};
