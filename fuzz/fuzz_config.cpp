// Arbitrary text as a configuration, every entry looked up with every type.
#include "FuzzCheck.h"
#include "config/ConfReader.h"
#include "config/DOMNode.h"
#include "logger/LogState.h"
#include "platform/Platform.h"

using namespace Quilna;

namespace {

void lookUpEverything(const ConfReader& reader, const DOMNode& parent, const std::string& prefix) {
    for (const DOMNode* node = parent.firstChild(); node; node = node->nextSibling()) {
        const std::string path = prefix + node->name();
        std::string text;
        bool flag;
        int32_t number;
        TimeSpanParts span;
        reader.getString(path, text, true, true);
        reader.getBool(path, flag);
        reader.getInteger(path, number);
        reader.getDirName(path, text);
        reader.getFileName(path, text);
        reader.getTimeSpan(path, span);
        lookUpEverything(reader, *node, path + ".");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One reader for the run, without reports: the debug lines are built, then dropped.
    static ConfReader reader{platform(), SmartPointer<ConfReports>()};
    setDebugLevel(5);
    const std::string text = Fuzz::text(data, size);
    reader.buildTreeFromText(text, "fuzz.conf");
    if (reader.root()) lookUpEverything(reader, *reader.root(), "");
    return 0;
}
