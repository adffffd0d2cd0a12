// hoardscan-collector: receives the log records forwarded to a mailslot of this computer and
// writes each as a log line.
#include <atomic>
#include <exception>
#include <iostream>
#include <string>

#include "collector/Collector.h"
#include "collector/CollectorOptions.h"
#include "collector/CollectorOutput.h"
#include "collector/InstalledCatalogue.h"
#include "files/FileUtils.h"
#include "ipc/IPCException.h"
#include "ipc/MailSlot.h"
#include "logger/LogCommons.h"
#include "logger/LogState.h"
#include "platform/Platform.h"

namespace Quilna {
namespace {

// -m names the LogMessages directory itself or the configuration directory that holds it.
std::string configurationDirectoryOf(const PathSyntax& syntax, std::string directory) {
    FileUtils::stripSeparators(syntax, directory);
    if (FileUtils::fileName(syntax, directory) == "LogMessages") return FileUtils::directoryName(syntax, directory);
    FileUtils::addSeparator(syntax, directory);
    return directory;
}

bool loadCatalogue(FileSystem& files, const std::string& directory, LogCommons& catalogue) {
    const LoadResult result =
        catalogue.loadMessages(files, configurationDirectoryOf(files.pathSyntax(), directory), "all");
    if (!result.status) {
        std::cerr << "hoardscan-collector: cannot load the messages of " << directory << ": " << result.message
                  << std::endl;
        return false;
    }
    std::cerr << "hoardscan-collector: " << catalogue.messageCount() << " message templates from "
              << result.loaded.size() << " files" << std::endl;
    return true;
}

// -m names the catalogue, and one that cannot be loaded ends the collector; without it the
// installation's is taken as the scan takes it, and without that the lines carry no texts.
bool useCatalogue(Platform& system, const CollectorOptions& options, LogCommons& catalogue) {
    if (!options.messages.empty()) {
        if (!loadCatalogue(system, options.messages, catalogue)) return false;
        setCatalogue(&catalogue);
        return true;
    }
    std::string directory;
    std::string why;
    if (!installedCatalogueDirectory(system, directory, why)) {
        std::cerr << "hoardscan-collector: no message catalogue (" << why << "): lines carry no message texts"
                  << std::endl;
        return true;
    }
    if (loadCatalogue(system, directory, catalogue)) setCatalogue(&catalogue);
    return true;
}

int collect(Platform& system, const CollectorOptions& options) {
    LogCommons catalogue;
    if (!useCatalogue(system, options, catalogue)) return 1;
    CollectorOutput output(system, system, options.output);
    std::string why;
    if (!output.canOpen(why)) {
        std::cerr << "hoardscan-collector: cannot open " << options.output << " for appending: " << why << std::endl;
        return 1;
    }
    std::string runtime;
    if (SystemError refused; !system.runtimeDirectory(runtime, refused)) {
        std::cerr << "hoardscan-collector: " << refused.detail << std::endl;
        return 1;
    }
    std::atomic<bool> stop{false};
    std::atomic<bool> reopen{false};
    system.watchStopSignals(&stop, true);
    system.watchReopenSignal(&reopen);
    int status = 0;
    try {
        MailSlot mailslot(system, IPCMode::Receiver, options.mailslot);
        std::cerr << "hoardscan-collector: receiving on mailslot " << options.mailslot << std::endl;
        if (!mailslot.tellsSenders())
            std::cerr << "hoardscan-collector: this system does not tell who sends to a mailslot: no line is checked "
                         "against its sender"
                      << std::endl;
        Collector collector(system, mailslot, output);
        collector.run(stop, reopen);
    } catch (const IPCException& failure) {
        std::cerr << "hoardscan-collector: cannot receive on mailslot " << options.mailslot << ": "
                  << failure.fullText() << std::endl;
        status = 1;
    } catch (const std::exception& failure) {
        std::cerr << "hoardscan-collector: " << failure.what() << std::endl;
        status = 1;
    }
    setCatalogue(nullptr);
    return status;
}

}  // namespace
}  // namespace Quilna

int main(int argc, char** argv) {
    Quilna::CollectorOptions options;
    std::string error;
    if (!Quilna::CollectorOptions::parse(argc, argv, options, error)) {
        std::cerr << "hoardscan-collector: " << error << "\n" << Quilna::CollectorOptions::usage();
        return 1;
    }
    if (options.help) {
        std::cout << Quilna::CollectorOptions::usage();
        return 0;
    }
    if (options.version) {
        std::cout << "hoardscan-collector " HOARDSCAN_VERSION "\n";
        return 0;
    }
    try {
        return Quilna::collect(Quilna::platform(), options);
    } catch (const std::exception& failure) {
        std::cerr << "hoardscan-collector: " << failure.what() << std::endl;
    } catch (...) {
        std::cerr << "hoardscan-collector: an exception of unknown type" << std::endl;
    }
    return 1;
}
