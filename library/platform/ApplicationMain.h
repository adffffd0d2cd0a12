#pragma once
#include <atomic>
#include <string>

namespace Quilna {

// Defined by the program; called by the platform's entry point (main or WinMain) with the
// command text ("dummy" followed by the command line) and the quit flag that the session
// end and shut-down signals set. Returns the process exit code; throws nothing.
int applicationMain(const std::string& commandText, std::atomic<bool>& quitFlag);

}  // namespace Quilna
