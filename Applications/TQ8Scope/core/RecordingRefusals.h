#pragma once
// Why a board cannot take a recording as set up, in the user's terms: the
// setting at fault, its value and what it needs. The library's codes alone
// ("Invalid or missing argument") do not say which setting that is.
#include <cstdint>
#include <string>

#include "TQ8RecordTypes.h"
#include "TQ8_64.h"

// The setting that explains the library's refusal (result) of the session
// record built for the board, or the paths a server refused; empty when
// none of them does.
std::wstring RecordingRefusalReason(TQ8_HANDLE device, const TQ8_REC_SESSION_PARAMS& record, int32_t result);

// A remote board writes on its server, which takes its served folders'
// drive form ("C:\recs\file.rd8") only. The first path of the record that
// is not in that form (data files, then the time-stamp file); empty when
// every path is.
std::string FirstPathOffServer(const TQ8_FILE_WRITE_PARAMS& record);
