#include "time/TimeException.h"

namespace Quilna {

const char* TimeException::codeName(int32_t code) {
    switch (code) {
        case 0: return "TM_NONE";
        case 1: return "TM_DAYS";
        case 2: return "TM_HOURS";
        case 3: return "TM_MINUTES";
        case 4: return "TM_SECONDS";
        case 5: return "TM_YEAR";
        case 6: return "TM_MONTH";
        case 7: return "TM_DAY";
        case 8: return "TM_DATETIME";
        case 9: return "TM_ANCIENT";
        case 10: return "TM_INPUT";
        default: return "";
    }
}

const char* TimeException::codeText() const {
    switch (code()) {
        case 0: return "No exception!";
        case 1: return "Days out of range: (0 - 24,855).";
        case 2: return "Hours out of range: (0-23).";
        case 3: return "Minutes out of range: (0-59).";
        case 4: return "Seconds out of range: (0-59).";
        case 5: return "Year out of range: (1970 - 2037).";
        case 6: return "Month out of range: (1 - 12).";
        case 7: return "Day out of range: (1 - days of the month in question).";
        case 8: return "Illegal date and/or time.";
        case 9: return "Illegal date/time. Cannot have date before 01.01.1970 0:00:00!";
        case 10: return "Illegal input format.";
        default: return "";
    }
}

}  // namespace Quilna
