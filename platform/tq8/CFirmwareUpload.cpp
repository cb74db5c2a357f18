#include "CFirmwareUpload.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "CSimClock.h"
#include "CTQ8Library.h"

namespace tq8 {

namespace {
constexpr uint32_t kPieceBytes = 65536;
constexpr double kProgramBytesPerSecond = 2e6; // configuration PROMs over JTAG
constexpr double kReadBytesPerSecond = 8e6;    // read back to verify
constexpr uint32_t kStartupWaitMs = 3000;      // the FPGAs load the new images
constexpr const char* kFileFailure = "UploadFirmwareWTQ8.file";

void Wait(double simSeconds)
{
    std::this_thread::sleep_for(CSimClock::ToWall(simSeconds));
}

// What the user waits for a simulated duration, in whole milliseconds.
uint32_t WallMs(double simSeconds)
{
    const auto wall = std::chrono::ceil<std::chrono::milliseconds>(CSimClock::ToWall(simSeconds));
    return static_cast<uint32_t>(wall.count());
}

uint32_t FileCount(const std::vector<FirmwareImage>& images)
{
    size_t n = 0;
    for (const FirmwareImage& image : images)
        n += image.files.size();
    return static_cast<uint32_t>(n);
}
} // namespace

CFirmwareUpload::CFirmwareUpload(IFirmwareTarget& target, TQ8_HANDLE handle, TQ8_FW_PROGRESS_CALLBACK callback,
                                 void* context)
    : m_target(target), m_handle(handle), m_callback(callback), m_context(context)
{
}

int32_t CFirmwareUpload::Run(const CFirmwarePackage& package, uint32_t fpgaType, uint32_t& out)
{
    out = 0;
    std::vector<FirmwareImage> images;
    if (int32_t rc = package.Images(fpgaType, images); rc != TQ8_OK)
        return rc;
    m_fileCount = FileCount(images);
    if (package.IsVerify())
        return Verify(package, images, out);
    // Each part's memory is read back once, before anything is written.
    std::vector<bool> held;
    for (const FirmwareImage& image : images) {
        bool holds = false;
        if (int32_t rc = Holds(image, package.Joined(image), holds); rc != TQ8_OK)
            return rc;
        held.push_back(holds);
    }
    if (std::find(held.begin(), held.end(), false) == held.end()) {
        out = TQ8_FW_OUT_UP_TO_DATE;
        return TQ8_OK;
    }
    for (size_t i = 0; i < images.size(); ++i)
        if (int32_t rc = Load(package, images[i], held[i], out); rc != TQ8_OK)
            return rc;
    // The wait is reported as the user will see it, whatever the time factor.
    const double startup = kStartupWaitMs / 1000.0;
    const uint32_t waitMs = WallMs(startup);
    if (waitMs != 0)
        Report(0, 0, 0, waitMs);
    Wait(startup);
    if (waitMs != 0)
        Report(0, 0, 0, 0);
    return TQ8_OK;
}

int32_t CFirmwareUpload::Verify(const CFirmwarePackage& package, const std::vector<FirmwareImage>& images,
                                uint32_t& out)
{
    bool match = true;
    for (const FirmwareImage& image : images) {
        int32_t rc = m_target.Begin(image.part, ConfigImage{image.version, package.Joined(image)}, false);
        for (const std::string& name : image.files)
            if (rc == TQ8_OK)
                rc = Stage(package.File(name), kReadBytesPerSecond, false);
        bool holds = false;
        FirmwareActivation unused{};
        if (rc == TQ8_OK)
            rc = m_target.End(holds, unused);
        if (rc != TQ8_OK)
            return rc;
        match = match && holds;
    }
    if (!match)
        return TQ8_ERR_FW_VERIFY_MISMATCH;
    out = TQ8_FW_OUT_VERIFIED;
    return TQ8_OK;
}

int32_t CFirmwareUpload::Load(const CFirmwarePackage& package, const FirmwareImage& image, bool holds, uint32_t& out)
{
    const std::string joined = package.Joined(image);
    if (holds) {
        // Nothing to write for this part: its stages pass at once.
        for (const std::string& name : image.files)
            Stage(package.File(name), 0, false);
        return TQ8_OK;
    }
    // From here until the last file is in, the part's version is unknown.
    int32_t rc = m_target.Begin(image.part, ConfigImage{image.version, joined}, true);
    for (const std::string& name : image.files)
        if (rc == TQ8_OK)
            rc = Stage(package.File(name), kProgramBytesPerSecond, true);
    FirmwareActivation activation = FirmwareActivation::Immediate;
    bool unusedHolds = false; // said of read-backs only
    if (rc == TQ8_OK)
        rc = m_target.End(unusedHolds, activation);
    if (rc != TQ8_OK)
        return rc;
    if (activation == FirmwareActivation::ShutDown)
        out |= TQ8_FW_OUT_SHUT_DOWN;
    if (activation == FirmwareActivation::Restart)
        out |= TQ8_FW_OUT_RESTART;
    return TQ8_OK;
}

int32_t CFirmwareUpload::Holds(const FirmwareImage& image, const std::string& joined, bool& holds)
{
    holds = false;
    FirmwareActivation unused{};
    int32_t rc = m_target.Begin(image.part, ConfigImage{image.version, joined}, false);
    if (rc == TQ8_OK)
        rc = m_target.Piece(joined);
    return rc == TQ8_OK ? m_target.End(holds, unused) : rc;
}

int32_t CFirmwareUpload::Stage(const std::string& bytes, double bytesPerSecond, bool writes)
{
    ++m_fileIndex;
    const auto range = static_cast<uint32_t>(bytes.size());
    Report(0, range, m_fileIndex, m_fileCount);
    int32_t injected = 0;
    if (writes && CTQ8Library::Instance().Injector().Take(kFileFailure, injected))
        return injected;
    for (uint32_t done = 0; done < range;) {
        const uint32_t piece = std::min(kPieceBytes, range - done);
        if (bytesPerSecond > 0) {
            Wait(piece / bytesPerSecond);
            if (int32_t rc = m_target.Piece(bytes.substr(done, piece)); rc != TQ8_OK)
                return rc;
        }
        done += piece;
        Report(done, range, m_fileIndex, m_fileCount);
    }
    return TQ8_OK;
}

void CFirmwareUpload::Report(uint32_t position, uint32_t range, int32_t index, uint32_t countOrWait) const
{
    if (m_callback)
        m_callback(m_handle, m_context, position, range, index, countOrWait);
}

} // namespace tq8
