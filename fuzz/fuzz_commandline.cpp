// The command-line splitter on any command text: it never invents characters (names and values
// are pieces of the text, in order, without overlap), a long name holds no blank, and a quoted
// configuration path after -c comes back whole, as the POSIX entry point relies on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "hoardscan/CommandLine.h"

using namespace Quilna;
using Fuzz::require;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void checkPiecesOfText(const std::string& text) {
    size_t cursor = 0;
    // The earliest match of each piece leaves the most room for the ones after it.
    const auto takeNext = [&](const std::string& piece) {
        const size_t at = text.find(piece, cursor);
        require(at != std::string::npos, "names and values are pieces of the text, in order");
        cursor = at + piece.size();
    };
    for (const auto& [name, value] : CommandLine::split(text)) {
        takeNext(name);
        takeNext(value);
        if (name.size() > 1)
            for (char c : name) require(!isBlank(c), "a long name ends at a blank");
    }
}

void checkQuotedPath(std::string path) {
    for (char& c : path)
        if (c == '"') c = '\'';
    const CommandLine::Options options = CommandLine::split("dummy -c \"" + path + "\"");
    require(options.size() == 2 && options[0].first.empty() && options[0].second == "dummy",
            "the leading word is a value without name");
    require(options[1].first == "c" && options[1].second == path, "a quoted path comes back whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = Fuzz::text(data, size);
    checkPiecesOfText(text);
    checkQuotedPath(text);
    return 0;
}
