// Arbitrary text as a configuration: building the tree must end, and so must every typed
// lookup of every entry, references and all. The same text is cut by the rules files'
// whitespace searcher too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/ConfReader.h"
#include "config/DOMNode.h"
#include "config/Tokenizer.h"
#include "config/WhitespaceSearcher.h"
#include "logger/LogState.h"
#include "logger/LoggerCentre.h"

namespace {

using Quilna::ConfReader;
using Quilna::DOMNode;

// Looks every entry up by its path with each lookup type.
void lookUpEverything(const ConfReader& reader, const DOMNode& parent, const std::string& prefix) {
    for (const DOMNode* node = parent.firstChild(); node; node = node->nextSibling()) {
        const std::string path = prefix + node->name();
        std::string text;
        bool flag;
        int32_t number;
        Quilna::TimeSpanParts span;
        reader.getString(path, text, true, true);
        reader.getBool(path, flag);
        reader.getInteger(path, number);
        reader.getDirName(path, text);
        reader.getFileName(path, text);
        reader.getTimeSpan(path, span);
        lookUpEverything(reader, *node, path + ".");
    }
}

void cutIntoWords(const std::string& text) {
    Quilna::WhitespaceSearcher searcher;
    Quilna::Tokenizer tokenizer(text, searcher);
    Quilna::Token token;
    while (tokenizer.next(token)) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One reader for the whole run: making and destroying one per input would dominate the time.
    // Without a logger centre the debug lines are still built, then dropped.
    static ConfReader reader{Quilna::SmartPointer<Quilna::ConfReports>()};
    Quilna::setDebugLevel(5);
    const std::string text(reinterpret_cast<const char*>(data), size);
    reader.buildTreeFromText(text, "fuzz.conf");
    if (reader.root()) lookUpEverything(reader, *reader.root(), "");
    cutIntoWords(text);
    return 0;
}
