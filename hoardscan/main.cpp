// The program: builds the application object, runs its two phases and turns their outcome into
// the exit code: 0 success, 1 initialisation failed, 2 the scan could not start.
#include <atomic>
#include <exception>
#include <string>

#include "hoardscan/AnchoredPaths.h"
#include "hoardscan/Hoardscan.h"
#include "platform/ApplicationMain.h"

namespace Quilna {

int applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag) {
    AnchoredPaths::anchorEnvironment();
    int exitCode = 1;
    try {
        Hoardscan hoardscan(commandText);
        if (hoardscan.init()) {
            exitCode = 2;
            if (hoardscan.run(quitFlag)) exitCode = 0;
        }
    } catch (const std::exception&) {
        // Out of memory or worse: the phase that was running decides the code.
    }
    return exitCode;
}

}  // namespace Quilna
