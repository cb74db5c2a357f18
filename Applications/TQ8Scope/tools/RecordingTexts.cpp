#include "RecordingTexts.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "TextConv.h"
#include "ValueFormat.h"

namespace rectext {

namespace {

std::wstring Printf(const char* format, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return vlt::Utf8ToWide(buf);
}

double Throughput(uint64_t samples, uint32_t elapsedMs)
{
    return (double(samples) / 1e6) / (double(elapsedMs) / 1e3);
}

} // namespace

std::wstring ShortDestPath(const std::wstring& path)
{
    if (path.empty())
        return L"<None>";
    const size_t slash = path.find_last_of(L"/\\");
    if (slash == std::wstring::npos)
        return path;
    return L"..." + path.substr(slash + 1);
}

std::wstring FormatElapsed(uint32_t elapsedMs)
{
    const uint32_t seconds = elapsedMs / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return vlt::Utf8ToWide(buf);
}

std::wstring FormatThroughput(uint64_t samples, uint32_t elapsedMs)
{
    if (elapsedMs == 0)
        return {};
    return Printf("%0.3f MS/s", Throughput(samples, elapsedMs));
}

int ProgressPosition(uint64_t amount, uint64_t total)
{
    if (total == 0 || amount >= total)
        return total == 0 ? 0 : 10000;
    // amount x 10000 would not fit in 64 bits for the largest amounts.
    return std::min(10000, int(double(amount) * 10000.0 / double(total)));
}

std::wstring BoardProgressText(const TQ8_REC_SESSION_PROGRESS& progress)
{
    std::wstring text = L"REC: ";
    if (progress.Rpr_samplesRecorded != 0)
        text += FormatSampleCount(double(progress.Rpr_samplesRecorded));
    if (progress.Rpr_elapsedMs != 0)
        text += L", " + FormatThroughput(progress.Rpr_samplesRecorded, progress.Rpr_elapsedMs);
    if (progress.Rpr_samplesToRecord != 0) {
        const double share = double(progress.Rpr_samplesRecorded) / double(progress.Rpr_samplesToRecord) * 100.0;
        text += L", " + std::to_wstring(unsigned(std::min(share, 4294967295.0))) + L"%";
    }
    return text;
}

std::wstring EndedNote(const TQ8_REC_SESSION_PROGRESS& progress)
{
    const uint64_t limit = progress.Rpr_samplesToRecord;
    return limit != 0 && progress.Rpr_samplesRecorded >= limit ? L", Complete" : L", Stopped";
}

std::wstring LiveNotes(const TQ8_REC_SESSION_PROGRESS_EX& progress)
{
    std::wstring text;
    if (progress.base.Rpr_liveFlags & TQ8_REC_LIVE_TS_OVERFLOW)
        text += L"; TS FIFO overflow: " + std::to_wstring(progress.Rpr_timestampsDropped) + L" dropped";
    if (progress.base.Rpr_samplesLost != 0 || (progress.base.Rpr_liveFlags & TQ8_REC_LIVE_DATA_LOST))
        text += L"; samples lost: " + std::to_wstring(progress.base.Rpr_samplesLost);
    if (progress.Rpr_ringFillPermille >= kRingFillNotePermille)
        text += L"; buffer " + std::to_wstring(std::min(progress.Rpr_ringFillPermille, 1000u) / 10) + L"%";
    return text;
}

bool HasTrouble(const TQ8_REC_SESSION_PROGRESS_EX& progress)
{
    return !LiveNotes(progress).empty();
}

std::string LogEntry(uint32_t attempts, bool passed, const std::wstring& errorText, uint32_t elapsedMs,
                     uint64_t amount)
{
    const uint32_t seconds = elapsedMs / 1000;
    std::ostringstream out;
    out << "Attempts #" << attempts << "   ---> " << (passed ? "PASSED \n\n" : "FAILED \n\n");
    out << "Error Message:\n" << vlt::WideToUtf8(errorText) << "\n\n\n";
    out << "Elapsed time: " << seconds / 3600 << ":" << seconds / 60 % 60 << ":" << seconds % 60 << " (H:M:S) \n";
    out << "Amount recorded: " << double(amount) / 1e6 << " MS \n";
    out << "Throughput: " << (elapsedMs ? Throughput(amount, elapsedMs) : 0.0) << " MS/s \n\n\n";
    return out.str();
}

std::string LogHeader()
{
    return "LOG - TQ3300 streaming\n---------------------------\n\n";
}

} // namespace rectext
