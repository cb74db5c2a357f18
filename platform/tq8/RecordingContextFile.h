#pragma once
// The context file written beside a recording ("<data file>.vrdc"): UTF-8
// XML, one element per item. The first items carry the names and meanings of
// the fields of TQ8_RECORDED_DATA_INFO; the rest describe the recording.
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
//     <ActiveChannels>0</ActiveChannels> (the board's channel selection)
//     <RecordingFlags>81</RecordingFlags> <SamplesPerAcquisition>...</...>
//     <SamplesRecorded>...</SamplesRecorded> <ElapsedMs>...</ElapsedMs>
//     <Result>completed|failed</Result>
//     <OperatorNotes>...</OperatorNotes> (when given)
//     <DataFiles><File dataBytes="...">path</File>...</DataFiles>
//   </VltRecordedDataContext>
//
// Numbers are decimal. Data files hold raw interleaved 8-bit samples after
// HeaderBytes bytes of header; a recording cut into segment files lists them
// in order.
#include <cstdint>
#include <string>
#include <vector>

#include "CSegmentedFileWriter.h"
#include "TQ8_64.h"

namespace tq8 {

struct RecordingContext {
    TQ8_RECORDED_DATA_INFO info{};
    int32_t selection = 0;
    uint32_t flags = 0;
    uint32_t acqSamples = 0;
    uint64_t samplesRecorded = 0;
    uint32_t elapsedMs = 0;
    bool failed = false;
    std::string notes;
    std::vector<CSegmentedFileWriter::FileInfo> files;
};

std::string ContextFilePath(const std::string& dataPath);
std::string RecordingContextXml(const RecordingContext& context);

} // namespace tq8
