#pragma once
// The program's settings: a configuration file read once into a tree of named entries, and
// typed lookups in that tree. Entries read NAME ( [TYPE] ) = VALUE { children }; comments
// ("#...", "//...", "/*...*/") may stand anywhere between tokens. Values may refer to other
// entries as ${dotted.path}.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfReports.h"
#include "core/SmartPointer.h"
#include "platform/PathSyntax.h"
#include "text/ParamStream.h"
#include "time/TimeSpanParts.h"

namespace Quilna {

class DOMNode;
class Monopoly;
class Platform;
class Tokenizer;

// Results of the lookups; 0 means success.
namespace ConfResult {
constexpr int Found = 0;
constexpr int NoValue = 1;   // the entry, or one it refers to, has an empty type
constexpr int NotFound = 2;  // no entry at the path, or a reference to none
constexpr int WrongType = 3;
constexpr int NotBool = 4;            // neither true nor false
constexpr int Invalid = 5;            // not a file name, a duration text or a 32-bit integer
constexpr int UnclosedReference = 6;  // "${" without a closing brace
constexpr int ReferenceLoop = 8;      // more than maxSubstitutions references to expand
constexpr int TooLong = 9;            // longer than maxExpandedLength once references are expanded
}  // namespace ConfResult

class ConfReader {
public:
    // Bounds that keep hostile or mistaken files finite.
    static constexpr int maxSubstitutions = 64;
    static constexpr size_t maxExpandedLength = 65536;
    static constexpr int maxNesting = 256;

    // Reports through the given reports (logger/ConfigurationLog.h); silent without them.
    ConfReader(Platform& system, const SmartPointer<ConfReports>& reports);
    virtual ~ConfReader();
    ConfReader(const ConfReader&) = delete;
    ConfReader& operator=(const ConfReader&) = delete;

    // Reads the file and replaces the tree. Never throws: failures are logged with the file
    // name (and, for syntax errors, the line). An unreadable file leaves the old tree; a syntax
    // error leaves the entries read before it. True when the whole file was read.
    bool buildTree(const std::string& fileName);
    // The same for a text; sourceName names it in messages.
    bool buildTreeFromText(const std::string& text, const std::string& sourceName);
    // While held, the reader's catalogue messages wait, and are logged when released: the
    // directory of the message texts is itself a setting, so the errors of reading the settings
    // are logged once the texts are there.
    void holdReports() { holding_ = true; }
    void releaseReports();
    // Reads entries into parent until the end of the text. Throws ConfigException on a syntax
    // error: a token where another was expected, a closing brace that closes nothing, or a
    // text that ends inside an entry (the entries read before stay in parent).
    bool parseBlock(Tokenizer& tokenizer, DOMNode& parent);

    // The core of the typed lookups: the entry's value with its references expanded.
    int get(const std::string& path, const std::string& type, std::string& value) const;
    // Typed lookups: out changes only on success (result 0).
    int getString(const std::string& path, std::string& out, bool trim = false, bool lower = false) const;
    int getBool(const std::string& path, bool& out) const;
    int getInteger(const std::string& path, int32_t& out) const;
    int getDirName(const std::string& path, std::string& out) const;
    int getFileName(const std::string& path, std::string& out) const;
    int getTimeSpan(const std::string& path, TimeSpanParts& out) const;

    // Why the last buildTree did not read the whole file ("FILE, line N: what was expected");
    // empty after a whole read.
    const std::string& failure() const { return failure_; }

    // The entry at a dotted path below the root, or null.
    const DOMNode* find(const std::string& path) const;
    // Null until the first tree is built.
    const DOMNode* root() const { return root_.get(); }

private:
    // Until a closing brace (false) or the end of the text (true). The innermost block cut short
    // by the end of the text says in unfinished what was missing.
    bool parseBlockAt(Tokenizer& tokenizer, DOMNode& parent, int depth, size_t openedAt, std::string& unfinished);
    // The line of a position of the text being read; positions asked in order cost one pass.
    size_t lineAt(const std::string& text, size_t position);
    int expandReferences(const std::string& path, std::string& value) const;
    bool debugOn(int32_t level) const;
    void debug(int32_t level, const char* text) const;
    void debug(int32_t level, const char* format, const ParamStream& params) const;
    void error(int32_t id, const ParamStream& params) const;

    Platform& system_;  // the file is read through it; its path syntax shapes directory values
    std::unique_ptr<DOMNode> root_;
    SmartPointer<ConfReports> reports_;
    bool holding_ = false;
    std::string failure_;
    size_t countedTo_ = 0;
    size_t countedLines_ = 1;
    mutable std::vector<std::pair<int32_t, ParamStream>> held_;
    std::unique_ptr<Monopoly> lock_;
};

}  // namespace Quilna
