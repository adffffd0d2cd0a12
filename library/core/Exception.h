#pragma once
// Root of the library's exception family. An exception carries a domain code, an optional
// detail text and a trail of source locations that grows as it is caught and passed on. It is
// a std::exception, so that whoever ends a phase catches the family with everything else.

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

// Throws an exception of the family with the throw site as its first location.
#define QUILNA_THROW(ExceptionType, code, detail) throw ExceptionType((code), (detail), __FILE__, __LINE__)

namespace Quilna {

class Exception : public std::exception {
public:
    explicit Exception(int32_t code);
    Exception(int32_t code, std::string detail, const std::string& sourceUnit, int32_t line);
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;

    ~Exception() override = default;
    // "<domain>: <text> (Code: <domainId>.<code>)".
    virtual std::string& describe(std::string& out) const;
    virtual int32_t domainId() const;
    // One line: the describe text and the detail in brackets (the domain name alone when
    // there is no memory for more).
    const char* what() const noexcept override;

    // The describe text, then the detail and the locations on lines of their own.
    std::string& fullText(std::string& out) const;
    std::string fullText() const;
    // Appends a location; the unit is reduced to its file name without extension.
    void addLocation(const std::string& sourceUnit, int32_t line);

    int32_t code() const { return code_; }
    const std::string& detail() const { return detail_; }

protected:
    // The pieces describe() is made of; derived classes give their own.
    virtual const char* domainName() const;
    virtual const char* codeText() const;  // nullptr or "" when the code has no row
    std::string& describeAs(std::string& out) const;

private:
    int32_t code_;
    std::vector<std::pair<std::string, int32_t>> locations_;
    std::string detail_;
    mutable std::string what_;
};

}  // namespace Quilna
