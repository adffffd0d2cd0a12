#pragma once
// The record a logger builds and the chain hands on, as a debug record (kind Debug, a debug
// level and the finished text) or a log record (kind Log, a severity, a catalogue message
// number and the encoded parameters).

#include <cstdint>
#include <string>

#include "time/DateTime.h"

namespace Quilna {

struct LogRecord {
    static constexpr uint8_t Debug = 0;
    static constexpr uint8_t Log = 1;
    // The message number of debug records, which have no catalogue message.
    static constexpr int32_t NoMessage = 99999;

    uint8_t kind = Debug;
    int32_t application = 0;  // stamped by LoggerCentre
    int32_t module = 0;
    DateTime time{0};
    int32_t timeMode = 1;    // 0 default, 1 local, 2 zulu; does not travel in the text form
    int32_t severity = 0;    // log records: 0 NOTICE ... 4 FATAL
    int32_t debugLevel = 0;  // debug records: 0 ... 5
    int32_t messageId = NoMessage;
    std::string text;  // debug: the finished text; log: the parameter string
    uint32_t thread = 0;
};

}  // namespace Quilna
