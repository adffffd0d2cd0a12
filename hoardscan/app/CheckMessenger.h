#pragma once
// Where the records go while the configuration is checked (hoardscan --check): one line each on
// standard output, "SEVERITY: text", and nowhere else: no log file, no system log, no collector.
// Records of WARNING and above are the problems the check counts.

#include <cstddef>

#include "logger/LogMessenger.h"

namespace Quilna {

class CheckMessenger : public LogMessenger {
public:
    explicit CheckMessenger(SystemServices& services);

    bool send(const LogRecord& record) override;

    size_t problems() const { return problems_; }
    // Off while the drives are listed: a drive of a type not investigated is said, not a problem.
    void countProblems(bool on) { counting_ = on; }

private:
    size_t problems_ = 0;
    bool counting_ = true;
};

}  // namespace Quilna
