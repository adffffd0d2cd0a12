// Construction, logging and the building of the tree: file, tokens, entries.
#include "config/ConfReader.h"

#include <algorithm>
#include <new>

#include "config/ConfSearcher.h"
#include "config/ConfigException.h"
#include "config/DOMNode.h"
#include "config/Tokenizer.h"
#include "files/FileException.h"
#include "files/FilePlain.h"
#include "platform/Platform.h"
#include "system/Monopoly.h"
#include "system/MonopolyHold.h"
#include "text/TextEncoding.h"

namespace Quilna {

namespace {

// Catalogue messages of the Configuration module.
constexpr int32_t kCannotReadFile = 1;
constexpr int32_t kSyntaxError = 2;
constexpr int32_t kCannotLock = 15;

std::string readWholeFile(Platform& system, const std::string& fileName) {
    FilePlain file(system, fileName);
    file.open(FileBase::Read);
    const uint64_t size = file.seek(0, 1);
    file.seek(0, 0);
    std::string text;
    file.read(text, size);
    file.close();
    TextEncoding::decodeFileText(text);
    return text;
}

// A token as it may appear in a message: printable, and short.
std::string shown(const std::string& token) {
    constexpr size_t limit = 40;
    std::string text = token.substr(0, limit);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = '?';
    if (token.size() > limit) text += "...";
    return "\"" + text + "\"";
}

// Quotes around a value go: "x" and 'x' both give x, and a lone quote gives nothing.
std::string withoutQuotes(const std::string& token) {
    if (token.empty() || (token.front() != '"' && token.front() != '\'') || token.back() != token.front()) return token;
    return token.size() < 2 ? std::string() : token.substr(1, token.size() - 2);
}

// The next token the grammar looks at: no whitespace, no line ends, no comments.
bool nextEntryToken(Tokenizer& tokenizer, Token& token) {
    while (tokenizer.next(token)) {
        if (token.significant && token.text != "\n" && !ConfSearcher::isComment(token.text)) return true;
    }
    return false;
}

size_t lineOf(const std::string& text, size_t position) {
    position = std::min(position, text.size());
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(position), '\n'));
}

}  // namespace

ConfReader::ConfReader(Platform& system, const SmartPointer<ConfReports>& reports)
    : system_(system), reports_(reports), lock_(std::make_unique<Monopoly>(system, system)) {
    debug(1, "ConfReader: Created.");
}

ConfReader::~ConfReader() {
    root_.reset();
    debug(1, "ConfReader: Destroyed.");
}

bool ConfReader::debugOn(int32_t level) const { return reports_ && reports_->debugOn(level); }

// The reader reports by result codes: a log that cannot be written must not turn into an
// exception of the configuration's caller.
void ConfReader::debug(int32_t level, const char* text) const {
    if (!debugOn(level)) return;
    try {
        reports_->debug(level, text);
    } catch (...) {
    }
}

void ConfReader::debug(int32_t level, const char* format, const ParamStream& params) const {
    if (!debugOn(level)) return;
    try {
        reports_->debug(level, format, params);
    } catch (...) {
    }
}

void ConfReader::error(int32_t id, const ParamStream& params) const {
    if (holding_) held_.emplace_back(id, params);
    else if (reports_) reports_->error(id, params);
}

void ConfReader::releaseReports() {
    holding_ = false;
    for (const auto& [id, params] : held_) error(id, params);
    held_.clear();
}

bool ConfReader::buildTree(const std::string& fileName) {
    if (debugOn(2)) debug(2, "ConfReader: Building DOM tree from file \"%s\"...", ParamStream() << fileName);
    MonopolyHold hold(*lock_);
    if (!hold.held()) {
        if (reports_) reports_->error(kCannotLock, ParamStream());
        return false;
    }
    std::string text;
    failure_.clear();
    try {
        text = readWholeFile(system_, fileName);
    } catch (FileException& failure) {
        failure.addLocation(__FILE__, __LINE__);
        error(kCannotReadFile, ParamStream() << fileName << failure.fullText());
        std::string reason;
        failure_ = fileName + " cannot be read: " + failure.describe(reason);
        return false;
    } catch (...) {
        error(kCannotReadFile, ParamStream() << fileName << "Unknown");
        failure_ = fileName + " cannot be read";
        if (debugOn(1))
            debug(1, "ConfReader: Unknown error while building DOM tree from file \"%s\".", ParamStream() << fileName);
        return false;
    }
    return buildTreeFromText(text, fileName);
}

bool ConfReader::buildTreeFromText(const std::string& text, const std::string& sourceName) {
    MonopolyHold hold(*lock_);
    if (!hold.held()) {
        if (reports_) reports_->error(kCannotLock, ParamStream());
        return false;
    }
    root_.reset();
    root_ = std::make_unique<DOMNode>("Root");
    failure_.clear();
    countedTo_ = 0;
    countedLines_ = 1;
    ConfSearcher searcher;
    Tokenizer tokenizer(text, searcher);
    try {
        parseBlock(tokenizer, *root_);
    } catch (ConfigException& failure) {
        failure.addLocation(__FILE__, __LINE__);
        const int32_t line = static_cast<int32_t>(std::min<size_t>(lineOf(text, tokenizer.lastStart()), INT32_MAX));
        const std::string description = failure.fullText();
        // The line goes into the catalogue message too, so that it reaches logs without debugging.
        error(kSyntaxError, ParamStream() << sourceName << description << line);
        failure_ = sourceName + ", line " + std::to_string(line) + ": " + failure.detail();
        if (debugOn(1)) debug(1, "ConfReader: %s, line %i.", ParamStream() << description << line);
        return false;
    }
    debug(2, "ConfReader: DOM tree built.");
    return true;
}

size_t ConfReader::lineAt(const std::string& text, size_t position) {
    position = std::min(position, text.size());
    if (position < countedTo_) {
        countedTo_ = 0;
        countedLines_ = 1;
    }
    countedLines_ += static_cast<size_t>(std::count(text.begin() + static_cast<ptrdiff_t>(countedTo_),
                                                    text.begin() + static_cast<ptrdiff_t>(position), '\n'));
    countedTo_ = position;
    return countedLines_;
}

bool ConfReader::parseBlock(Tokenizer& tokenizer, DOMNode& parent) {
    std::string unfinished;
    const bool textEnded = parseBlockAt(tokenizer, parent, 0, 0, unfinished);
    // The entries read so far stay in the tree; the text still was not whole.
    if (!unfinished.empty()) QUILNA_THROW(ConfigException, CF_CONF, unfinished);
    return textEnded;
}

bool ConfReader::parseBlockAt(Tokenizer& tokenizer, DOMNode& parent, int depth, size_t openedAt,
                              std::string& unfinished) {
    if (depth > maxNesting)
        QUILNA_THROW(ConfigException, CF_CONF, "Entries nested deeper than " + std::to_string(maxNesting) + " levels.");
    // Says which token stood where another was expected, and throws.
    auto missing = [&](const char* expected, const DOMNode& node, const std::string& found) {
        debug(1, (std::string("ConfReader: Missing '") + expected + "'.").c_str());
        QUILNA_THROW(
            ConfigException, CF_CONF,
            "Missing '" + std::string(expected) + "' in entry " + shown(node.name()) + ", found " + shown(found) + ".");
    };
    enum State { Name, OpenParenthesis, Type, CloseParenthesis, Equals, Value, OpenBrace };
    State state = Name;
    std::unique_ptr<DOMNode> node;
    // What the next token had to be, for a text that ends before it.
    static constexpr const char* expectedAt[] = {"'}'", "'('", "')'", "')'", "'='", "a value", "'{'"};
    Token token;
    while (nextEntryToken(tokenizer, token)) {
        const std::string& text = token.text;
        switch (state) {
            case Name:
                if (text == "}") {
                    if (depth > 0) return false;
                    debug(1, "ConfReader: Unexpected '}'.");
                    QUILNA_THROW(ConfigException, CF_CONF, "Unexpected '}': it closes no entry.");
                }
                try {
                    node = std::make_unique<DOMNode>(text);
                    node->setLine(lineAt(tokenizer.text(), tokenizer.lastStart()));
                } catch (const std::bad_alloc&) {
                    QUILNA_THROW(ConfigException, CF_MEM, "");
                }
                state = OpenParenthesis;
                break;
            case OpenParenthesis:
                if (text != "(") missing("(", *node, text);
                state = Type;
                break;
            case Type:
                if (text == ")") {
                    state = Equals;
                } else {
                    node->setType(text);
                    state = CloseParenthesis;
                }
                break;
            case CloseParenthesis:
                if (text != ")") missing(")", *node, text);
                state = Equals;
                break;
            case Equals:
                if (text != "=") missing("=", *node, text);
                state = Value;
                break;
            case Value: {
                const std::string value = withoutQuotes(text);
                if (!value.empty()) node->setValue(value);
                state = OpenBrace;
                break;
            }
            case OpenBrace: {
                if (text != "{") missing("{", *node, text);
                const bool textEnded = parseBlockAt(tokenizer, *node, depth + 1, tokenizer.lastStart(), unfinished);
                parent.addChild(std::move(node));
                // A block cut short by the end of the text ends every enclosing block too.
                if (textEnded) return true;
                state = Name;
                break;
            }
        }
    }
    // The innermost block says what was missing when the text ended.
    if (unfinished.empty() && state != Name) {
        unfinished = "Missing " + std::string(expectedAt[state]) + " in entry " + shown(node->name()) +
                     ", found the end of the file.";
    } else if (unfinished.empty() && depth > 0) {
        unfinished = "Missing '}' of entry " + shown(parent.name()) + " opened in line " +
                     std::to_string(lineOf(tokenizer.text(), openedAt)) + ", found the end of the file.";
    }
    return true;
}

}  // namespace Quilna
