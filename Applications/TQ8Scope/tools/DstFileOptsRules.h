#pragma once
// The decisions of the destination-file options dialog, kept apart from its
// widgets: which controls are usable for a set of flags, and how typed paths
// are tidied before they are kept.
#include <cstdint>
#include <string>
#include <string_view>

#include "TQ8RecordTypes.h"

class DstFileOptsRules {
public:
    // The file-write record's flags, under the dialog's names.
    static constexpr uint32_t kAppend = TQ8_FWP_APPEND;
    static constexpr uint32_t kText = TQ8_FWP_TEXT;
    static constexpr uint32_t kNoUnbuffered = TQ8_FWP_BUFFERED_IO;
    static constexpr uint32_t kAssumeFormat = TQ8_FWP_ASSUME_FORMAT;
    static constexpr uint32_t kHex = TQ8_FWP_HEX;
    static constexpr uint32_t kDeinterleave = TQ8_FWP_DEINTERLEAVE;
    static constexpr uint32_t kSigned = TQ8_FWP_SIGNED;
    static constexpr uint32_t kContextFile = TQ8_FWP_FLAG_DEFAULT;
    static constexpr uint32_t kTsFile = TQ8_FWP_TS_BINARY;
    static constexpr uint32_t kTsText = TQ8_FWP_TS_TEXT;
    static constexpr uint32_t kTsMarker = TQ8_FWP_TS_MARKER;
    static constexpr uint32_t kTsAbort = TQ8_FWP_FAIL_ON_TS_OVERFLOW;

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
