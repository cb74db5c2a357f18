#pragma once
// The texts and figures the recording window shows while boards record,
// and the entries of its multiple-mode log.
#include <cstdint>
#include <string>

#include "TQ8RecordTypes.h"

namespace rectext {

// Ring fill (thousandths) from which a board's state mentions its buffer.
inline constexpr uint32_t kRingFillNotePermille = 750;

// "<None>" when empty; else the file name, after "..." when there is a folder.
std::wstring ShortDestPath(const std::wstring& path);
// Whole seconds as hours, minutes and seconds; the hours do not wrap at a day.
std::wstring FormatElapsed(uint32_t elapsedMs);
// "%0.3f MS/s" of samples over the time; empty for no time.
std::wstring FormatThroughput(uint64_t samples, uint32_t elapsedMs);
// Position on a 0..10000 bar; amounts above the total stay at the end.
int ProgressPosition(uint64_t amount, uint64_t total);
// "REC: " with the amount, the rate and the share of the target.
std::wstring BoardProgressText(const TQ8_REC_SESSION_PROGRESS& progress);
// How a session ended that did not fail: ", Complete" at its limit,
// ", Stopped" before it (or without one).
std::wstring EndedNote(const TQ8_REC_SESSION_PROGRESS& progress);
// What the board reports going wrong while it records: "; "-separated
// notes, each after "; ", empty when all is well.
std::wstring LiveNotes(const TQ8_REC_SESSION_PROGRESS_EX& progress);
bool HasTrouble(const TQ8_REC_SESSION_PROGRESS_EX& progress);

// One entry of the multiple-mode log (UTF-8).
std::string LogEntry(uint32_t attempts, bool passed, const std::wstring& errorText, uint32_t elapsedMs,
                     uint64_t amount);
// The log's first lines.
std::string LogHeader();

} // namespace rectext
