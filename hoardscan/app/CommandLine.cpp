#include "hoardscan/app/CommandLine.h"

namespace Quilna::CommandLine {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isQuote(char c) { return c == '"' || c == '\''; }

class Splitter {
public:
    explicit Splitter(const std::string& text) : text_(text) {}

    Options run() {
        while (at_ < text_.size()) step();
        finish();
        return std::move(options_);
    }

private:
    void step() {
        const char c = text_[at_];
        if (quote_) return insideQuotes(c);
        if (betweenWords_) return betweenWords(c);
        if (longNamePending_) return longName(c);
        withinWord(c);
    }

    void betweenWords(char c) {
        if (isBlank(c)) {
            ++at_;
            return;
        }
        betweenWords_ = false;
        wordStart_ = at_;
        if (c == '-' && !name_.empty()) append(std::string());
        // The character is looked at again as the word's first.
    }

    void insideQuotes(char c) {
        if (c == quote_) {
            append(text_.substr(wordStart_ + 1, at_ - wordStart_ - 1));
            quote_ = 0;
            betweenWords_ = true;
        }
        ++at_;
    }

    void longName(char c) {
        if (isBlank(c)) {
            name_ = text_.substr(wordStart_, at_ - wordStart_);
            longNamePending_ = false;
            betweenWords_ = true;
        }
        ++at_;
    }

    void withinWord(char c) {
        if (isBlank(c)) {
            append(wordSoFar());
            betweenWords_ = true;
            ++at_;
        } else if (isQuote(c)) {
            if (at_ > wordStart_) append(wordSoFar());
            quote_ = c;
            wordStart_ = at_++;
        } else if (c == '-') {
            optionCharacter();
        } else {
            ++at_;
        }
    }

    void optionCharacter() {
        if (at_ > wordStart_) append(wordSoFar());
        if (at_ + 1 < text_.size() && text_[at_ + 1] == '-') {
            longNamePending_ = true;
            at_ += 2;
            wordStart_ = at_;
            return;
        }
        name_ = at_ + 1 < text_.size() ? text_.substr(at_ + 1, 1) : std::string();
        at_ += 2;
        betweenWords_ = true;
    }

    void finish() {
        if (quote_) {
            append(text_.substr(wordStart_));  // an unterminated quote keeps its opening quote
        } else if (!betweenWords_) {
            if (longNamePending_) {
                name_ = text_.substr(wordStart_);
                append(std::string());
            } else {
                append(wordSoFar());
            }
        } else if (!name_.empty()) {
            append(std::string());
        }
    }

    std::string wordSoFar() const { return text_.substr(wordStart_, at_ - wordStart_); }

    void append(std::string value) {
        options_.emplace_back(std::move(name_), std::move(value));
        name_.clear();
    }

    const std::string& text_;
    size_t at_ = 0;
    size_t wordStart_ = 0;
    bool betweenWords_ = true;
    bool longNamePending_ = false;
    char quote_ = 0;
    std::string name_;
    Options options_;
};

}  // namespace

Options split(const std::string& text) { return Splitter(text).run(); }

namespace {

std::string optionText(const std::string& name) { return (name.size() == 1 ? "-" : "--") + name; }

Request refused(std::string problem) {
    Request request;
    request.action = Request::Refuse;
    request.problem = std::move(problem);
    return request;
}

}  // namespace

namespace {

// A path scan's own options; a word after a flag is one of the paths (the splitter gives it to
// the flag as its value).
bool takePathScanOption(const std::string& name, const std::string& value, Request& request, bool& refused) {
    if (name.empty()) {
        request.paths.push_back(value);
    } else if (name == "json") {
        request.json = true;
        if (!value.empty()) request.paths.push_back(value);
    } else if (name == "o") {
        refused = value.empty() || !request.outputDirectory.empty();
        request.outputDirectory = value;
    } else {
        return false;
    }
    return true;
}

Request interpretExplain(Request request) {
    if (request.paths.empty()) return refused("--explain needs a PATH to explain");
    if (request.json || !request.outputDirectory.empty()) return refused("-o and --json do not go with --explain");
    return request;
}

Request interpretPathScan(Request request, bool configuration) {
    if (request.action == Request::Help || request.action == Request::Version) return request;
    if (request.action == Request::Explain) return interpretExplain(std::move(request));
    if (request.paths.empty()) {
        if (request.json || !request.outputDirectory.empty()) return refused("-o and --json need a PATH to scan");
        return request;
    }
    if (configuration || request.action == Request::Check)
        return refused("a scan of a PATH takes no installation: -c and --check do not go with it");
    request.action = Request::PathScan;
    return request;
}

}  // namespace

Request interpret(const std::string& commandText) {
    Options options = split(commandText);
    if (!options.empty()) options.erase(options.begin());  // the pair of the leading "dummy"
    Request request;
    bool configuration = false;
    for (const auto& [name, value] : options) {
        bool bad = false;
        if (takePathScanOption(name, value, request, bad)) {
            if (bad) return refused("-o needs one directory for the result files");
        } else if (name == "c") {
            if (configuration) return refused("-c is given twice");
            if (value.empty()) return refused("-c needs the path of the configuration file");
            configuration = true;
        } else if (name == "check") {
            if (!value.empty()) return refused("unexpected argument '" + value + "' after --check");
            if (request.action == Request::Scan) request.action = Request::Check;
        } else if (name == "explain") {
            if (!value.empty()) request.paths.push_back(value);
            if (request.action == Request::Scan || request.action == Request::Check) request.action = Request::Explain;
        } else if (name == "h" || name == "help" || name == "version") {
            if (!value.empty()) return refused("unexpected argument '" + value + "' after " + optionText(name));
            if (request.action == Request::Scan || request.action == Request::Check ||
                request.action == Request::Explain)
                request.action = name == "version" ? Request::Version : Request::Help;
        } else {
            return refused("unknown option " + optionText(name));
        }
    }
    return interpretPathScan(std::move(request), configuration);
}

std::string usage() {
    return "Usage: hoardscan [-c FILE] [--check]\n"
           "       hoardscan [-c FILE] --explain PATH...\n"
           "       hoardscan [-o DIR] [--json] PATH...\n"
           "Takes stock of the space files occupy on this computer and writes the result files that the\n"
           "configuration names. Given paths, scans them without an installation (every file counted,\n"
           "accounts from the first level below each path, the shipped types and temperatures) and\n"
           "prints the largest directories, users, types and access temperatures.\n"
           "  -c FILE     the configuration file (default: hoardscan.conf in the directory of the\n"
           "              installation's resource ConfigurationDir)\n"
           "  --check     read the configuration, its rules files and the drives as a run would, print\n"
           "              every problem and the file systems a run would walk, and write nothing;\n"
           "              exit code 0 when there is no problem, else 1\n"
           "  --explain   for each PATH, every decision a run would take on it (file systems rule,\n"
           "              account entry, owner and groups, type, status, temperatures, record key)\n"
           "              with the rules line that took it; writes nothing; exit code 1 when a path\n"
           "              is missing or the installation cannot be set up\n"
           "  -o DIR      with paths: write the result files into DIR (default: nothing is written)\n"
           "  --json      with paths: the summary as JSON\n"
           "  -h, --help  this text\n"
           "  --version   the program's version\n"
           "Exit codes: 0 every result file finished, 1 set-up failed, 2 the scan could not start,\n"
           "3 a result file could not be written or finished, 4 a part of a file system could not be\n"
           "walked, 130/143 stopped by SIGINT/SIGTERM.\n";
}

}  // namespace Quilna::CommandLine
