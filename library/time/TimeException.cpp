#include "time/TimeException.h"

namespace Quilna {

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
