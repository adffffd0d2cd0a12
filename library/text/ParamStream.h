#pragma once
// The parameters of a log or debug message, encoded as they travel: per parameter a type
// character ("n" number, "s" text), the value and the separator 0x1A. Passed by value.
// A text is escaped as it is streamed (StringUtils::escapeControls): names on disk reach log
// records as parameters, and no byte of a name may end its parameter, its record's field or
// its line, in the log, in the system log or at the collector.

#include <cstdint>
#include <string>
#include <string_view>

namespace Quilna {

// Ends each parameter; never inside one.
constexpr char kParameterSeparator = '\x1A';

class ParamStream {
public:
    ParamStream() = default;
    ParamStream(const ParamStream&) = default;
    ParamStream& operator=(const ParamStream&) = default;
    virtual ~ParamStream() = default;

    ParamStream& operator<<(int value);
    ParamStream& operator<<(unsigned value);
    ParamStream& operator<<(long value);
    ParamStream& operator<<(unsigned long value);
    ParamStream& operator<<(long long value);
    ParamStream& operator<<(unsigned long long value);
    ParamStream& operator<<(double value);
    ParamStream& operator<<(const char* value);
    ParamStream& operator<<(const std::string& value);

    const std::string& text() const { return text_; }

private:
    ParamStream& number(const std::string& value);
    ParamStream& escapedText(std::string_view value);

    std::string text_;
};

}  // namespace Quilna
