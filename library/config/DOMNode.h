#pragma once
#include <memory>
#include <string>

namespace Quilna {

// One entry of a configuration tree. A node owns its first child and its next sibling;
// children keep the order of the file.
class DOMNode {
public:
    explicit DOMNode(std::string name);
    // Frees the whole subtree and the sibling chain without deep recursion.
    virtual ~DOMNode();
    DOMNode(const DOMNode&) = delete;
    DOMNode& operator=(const DOMNode&) = delete;

    void setType(std::string type) { type_ = std::move(type); }
    // The line of the file where the entry's name stands (0: not read from a file).
    void setLine(size_t line) { line_ = line; }
    // Stores the value after backslash processing: "\\" and "\x" both become one backslash.
    void setValue(const std::string& value);
    // Appends at the end of the child chain.
    void addChild(std::unique_ptr<DOMNode> child);

    const std::string& name() const { return name_; }
    const std::string& type() const { return type_; }
    const std::string& value() const { return value_; }
    size_t line() const { return line_; }
    const DOMNode* firstChild() const { return firstChild_.get(); }
    const DOMNode* nextSibling() const { return nextSibling_.get(); }

    // The first child with exactly this name, or null.
    const DOMNode* child(const std::string& name) const;

private:
    std::string name_;
    std::string type_;
    std::string value_;
    std::unique_ptr<DOMNode> firstChild_;
    std::unique_ptr<DOMNode> nextSibling_;
    size_t line_ = 0;
    DOMNode* lastChild_ = nullptr;  // end of the child chain, so appending stays O(1)
};

}  // namespace Quilna
