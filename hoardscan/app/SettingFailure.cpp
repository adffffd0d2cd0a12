#include "hoardscan/app/SettingFailure.h"

#include "config/ConfReader.h"
#include "config/DOMNode.h"
#include "hoardscan/app/MessageNumbers.h"
#include "logger/LoggerUnit.h"

namespace Quilna::SettingFailure {

namespace {

std::string expectation(const DOMNode& entry, const std::string& type, int result) {
    switch (result) {
        case ConfResult::WrongType: return "a value of type " + type + " expected, not " + entry.type();
        case ConfResult::NotBool: return "true or false expected";
        case ConfResult::Invalid:
            return type == "FileName" ? "a file name without * or ? that does not end in a separator expected"
                                      : "a valid " + type + " expected";
        case ConfResult::UnclosedReference: return "a reference closed by '}' expected";
        case ConfResult::ReferenceLoop: return "references that end expected, not a loop";
        case ConfResult::TooLong:
            return "at most " + std::to_string(ConfReader::maxExpandedLength) +
                   " bytes once its references are expanded";
        default: return "a value expected";
    }
}

}  // namespace

bool report(LoggerUnit& logger, const ConfReader& configuration, const std::string& key, const char* type, int result) {
    const DOMNode* entry = configuration.find(key);
    // No entry, or one without a type (a block): nothing that could be judged.
    if (!entry || entry->type().empty() || result == ConfResult::NotFound || result == ConfResult::NoValue) {
        logger.fatal(Message::SettingMissing, ParamStream() << key);
        return false;
    }
    logger.fatal(Message::SettingInvalid, ParamStream() << key << entry->value() << expectation(*entry, type, result));
    return false;
}

}  // namespace Quilna::SettingFailure
