#pragma once
// The decisions of the destination-file options dialog, kept apart from its
// widgets: which controls are usable for a set of flags, and how typed paths
// are tidied before they are kept.
#include <cstdint>
#include <string>
#include <string_view>

class DstFileOptsRules {
public:
    static constexpr uint32_t kAppend = 0x1;
    static constexpr uint32_t kText = 0x4;
    static constexpr uint32_t kNoUnbuffered = 0x8;
    static constexpr uint32_t kAssumeFormat = 0x10;
    static constexpr uint32_t kHex = 0x20;
    static constexpr uint32_t kDeinterleave = 0x40;
    static constexpr uint32_t kSigned = 0x80;
    static constexpr uint32_t kContextFile = 0x100;
    static constexpr uint32_t kTsFile = 0x400;
    static constexpr uint32_t kTsText = 0x800;
    static constexpr uint32_t kTsMarker = 0x1000;
    static constexpr uint32_t kTsAbort = 0x2000;

    // Which groups of controls are enabled.
    struct Enabling {
        bool options = true;      // every option check box but the data format
        bool format = true;       // the data-format combo
        bool channelFiles = true; // the three channel-file edits and labels
        bool span = true;         // static size, its units and label
        bool skip = true;         // bytes to skip and its label
        bool hex = true;
        bool tsDetails = true;    // text, marker and override path
        bool tsAbort = true;
        bool note = true;
        bool noteReadOnly = false;
        bool paths = true;        // read-only turns every path edit off
    };

    static Enabling Enable(uint32_t flags, bool spanFiles, bool skipHdr, bool readOnly, bool recording);

    static std::wstring Trim(std::wstring_view text);
    // Only the last path component counts; "/" and "\" both separate.
    static bool HasExtension(std::wstring_view path);
    // Trimmed; a non-empty path without an extension gets ".rd8".
    static std::wstring ChannelPath(std::wstring_view typed);
    // Trimmed; a non-empty path without an extension gets ".tq8ts.txt" with
    // text time stamps, else ".tq8ts".
    static std::wstring TimestampPath(std::wstring_view typed, bool textTimestamps);
    // The time-stamp browse's default extension and filter index.
    static const wchar_t* TimestampDefaultExt(bool textTimestamps);
    static int TimestampFilterIndex(bool textTimestamps);
};
