#pragma once
// The context file written beside a recording ("<data file>.vrdc"): UTF-8
// XML whose items are the root's child elements, each holding its value as
// text. Element names never contain blanks.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <VltRecordedDataContext version="1">
//     <BoardName>TQ3300-4</BoardName> <SerialNumber>1600</SerialNumber>
//     <ChannelCount>4</ChannelCount> <ChannelNumber>4294967295</ChannelNumber>
//     <BytesPerSample>1</BytesPerSample> <BitsPerSample>8</BitsPerSample>
//     <Signed>0</Signed> <SamplingRateMHz>1500</SamplingRateMHz>
//     <InputRangeVpp>0.5</InputRangeVpp> <SegmentSize>0</SegmentSize>
//     <HeaderBytes>0</HeaderBytes> <TriggerOffset>0</TriggerOffset>
//     <PreTrigger>0</PreTrigger>
//     <ActiveChannels>0</ActiveChannels> (the channel selection of the data)
//     <RecordingFlags>81</RecordingFlags> <FileFlags>256</FileFlags>
//     <SamplesPerAcquisition>...</SamplesPerAcquisition>
//     <TransferSamples>...</TransferSamples> (samples per transfer, as used)
//     <SamplesRecorded>...</SamplesRecorded> <ElapsedMs>...</ElapsedMs>
//     <StartTime>2026-12-09T11:00:00Z</StartTime> <EndTime>...</EndTime>
//     <Result>recording|completed|stopped|failed</Result>
//     <OperatorNotes>...</OperatorNotes>
//     <DataFileCount>2</DataFileCount>
//     <DataFile1>path</DataFile1> <DataFile2>path</DataFile2> ...
//     <TimestampFile1>path</TimestampFile1> ... (when written)
//   </VltRecordedDataContext>
//
// Numbers are decimal, times UTC. The file is written when a recording
// starts (Result "recording", EndTime empty) and again with the final counts
// when it ends: "completed" at its limit, "stopped" before it (or without
// one), "failed". Data files hold raw interleaved samples after HeaderBytes
// bytes of header; a recording cut into segment files lists them in order.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CSegmentedFileWriter.h"
#include "FileWritePlan.h"
#include "TQ8_64.h"

namespace tq8 {

struct RecordingContext {
    TQ8_RECORDED_DATA_INFO info{};
    int32_t selection = 0;
    uint32_t flags = 0;
    uint32_t fileFlags = 0;
    uint32_t acqSamples = 0;
    uint32_t transferSamples = 0;
    uint64_t samplesRecorded = 0;
    uint32_t elapsedMs = 0;
    std::string startTime;
    std::string endTime;
    std::string result = "recording";
    std::string notes;
    std::vector<CSegmentedFileWriter::FileInfo> files;
    std::vector<std::string> timestampFiles;
};

using ContextItems = std::vector<std::pair<std::string, std::string>>;

std::string ContextFilePath(const std::string& dataPath);
// Rewrites an existing context file in its own place, for when its
// replacement cannot be written (a full disk): the blocks it holds take the
// final text, which is hardly longer. false when that fails too.
bool RewriteContextInPlace(const std::string& path, const std::string& text);
// The parts of the context that the file-write record decides: header,
// signed samples, the data format (with TQ8_FWP_ASSUME_FORMAT), flags, notes.
void DescribeOutput(const FileWritePlan& plan, RecordingContext& context);
std::string RecordingContextXml(const RecordingContext& context);
// The current time as the context file writes it.
std::string ContextTimeNow();

// Reads the items of a context file in their order. TQ8_OK, or with a
// reason TQ8_ERR_FILE_UNREADABLE for a file that is missing or cannot be
// read, TQ8_ERR_CONTEXT_DAMAGED for one that is not well-formed XML or not
// a context file.
int32_t ReadContextItems(const std::string& path, ContextItems& items, std::string& reason);
// The information record from the items; absent items keep the defaults.
void InfoFromContextItems(const ContextItems& items, TQ8_RECORDED_DATA_INFO& info);
// The record a data file without a usable context file is taken as.
void DefaultRecordedDataInfo(TQ8_RECORDED_DATA_INFO& info);
// The item's value, nullptr when the file has no such item.
const std::string* FindContextItem(const ContextItems& items, const std::string& name);

} // namespace tq8
