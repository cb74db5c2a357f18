#pragma once
// Firmware packages for the upload tests, written with the package
// generator's own format code, and a pump that also runs deferred deletes.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include "CFwContextTQ8.h"
#include "DocToolsFixture.h"
#include "FirmwarePackage.h"
#include "FwTestFiles.h"
#include "TextConv.h"

namespace upload_test {

inline constexpr uint32_t kMixed = 0x63000000;

// One chunk id (0, 1 the system FPGA) with its files (name, bytes).
using Files = std::vector<std::pair<std::string, std::string>>;
using Chunks = std::vector<std::pair<int32_t, Files>>;

inline const Chunks kOneFile = {{0, {{"sys.bit", std::string(70000, 'a')}}}};
inline const Chunks kTwoFiles = {{0, {{"sys1.bit", std::string(150000, 'a')}}}, {1, {{"sys2.bit", std::string(70000, 'b')}}}};

struct PackageSpec {
    Chunks chunks = kTwoFiles;
    uint32_t flags = 0; // 1: verify package
    uint32_t version = kMixed;
    uint32_t custom = 0;
    uint32_t chunkVersion = 0; // 0: 1.2.0.<chunk id> for each chunk
};

inline std::wstring WritePackage(const std::string& dir, const std::string& name, const PackageSpec& contents)
{
    CFwContextTQ8 context;
    context.m_versionPkg = contents.version;
    context.m_custEnumPkg = contents.custom;
    context.m_fwFlags = contents.flags;
    FwPackagePairs pairs{{dir + "/" + name + ".xml", "context_v2.xml"}};
    for (const auto& [id, files] : contents.chunks) {
        CFwContextTQ8::CFirmwareChunk& chunk = context.m_chunks[id];
        chunk.m_version = contents.chunkVersion != 0 ? contents.chunkVersion : 0x01020000 + static_cast<uint32_t>(id);
        for (const auto& [file, bytes] : files) {
            chunk.m_files.push_back(file);
            WriteTestFile(dir + "/" + name + "-" + file, bytes);
            pairs.emplace_back(dir + "/" + name + "-" + file, file);
        }
    }
    EXPECT_EQ(context.Save(pairs[0].first), 0);
    const std::string path = dir + "/" + name + ".tq8fw";
    EXPECT_EQ(WriteFirmwarePackage(path, pairs), 0);
    return vlt::Utf8ToWide(path);
}

// Lets queued events and deferred deletes run until cond holds.
template <class Cond>
bool PumpUntil(Cond cond)
{
    return doc_tools_test::PumpUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return cond();
    });
}

} // namespace upload_test
