#pragma once
// A firmware file read for upload: a package (".tq8fw", a ZIP archive whose
// first entry is the manifest "context_v2.xml", then the bitstream files the
// manifest names) or a single ".xsvf" image for the user FPGA. A package is
// untrusted input: its size and every entry's uncompressed size are capped,
// entry names with a folder or ".." are refused, and every file the manifest
// names must be in the archive.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CFirmwareState.h"
#include "CFwContextTQ8.h"
#include "TQ8_64.h"

namespace tq8 {

// The images one package holds for one programmable part.
struct FirmwareImage {
    FirmwarePart part = FirmwarePart::System;
    FirmwareVersion version;
    std::vector<std::string> files; // names, in upload order
};

class CFirmwarePackage {
public:
    static constexpr uint64_t kMaxPackageBytes = TQ8_FW_MAX_FILE_BYTES;
    static constexpr uint64_t kMaxEntryBytes = uint64_t(64) << 20;

    // Result codes of the library.
    int32_t Open(const std::string& path);

    const CFwContextTQ8& Context() const { return m_context; }
    bool IsVerify() const { return (m_context.m_fwFlags & 1u) != 0; }
    // The parts in upload order for a board whose FPGA type (EEPROM word 93)
    // is fpgaType; TQ8_ERR_FW_WRONG_FPGA for a ZAB chunk of the other type.
    int32_t Images(uint32_t fpgaType, std::vector<FirmwareImage>& out) const;
    const std::string& File(const std::string& name) const { return m_files.at(name); }
    // Every file of the images, joined: what a part's memory then holds.
    std::string Joined(const FirmwareImage& image) const;

private:
    int32_t OpenArchive(const std::string& bytes);
    int32_t OpenXsvf(const std::string& path, std::string bytes);

    CFwContextTQ8 m_context;
    bool m_xsvf = false;
    std::map<std::string, std::string> m_files;
};

} // namespace tq8
