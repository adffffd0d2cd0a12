#include "config/DOMNode.h"

#include <vector>

namespace Quilna {

DOMNode::DOMNode(std::string name) : name_(std::move(name)) {}

DOMNode::~DOMNode() {
    // Long sibling chains and deep nesting would overflow the stack if each node's destructor
    // freed its links recursively: detach them into a work list instead.
    std::vector<std::unique_ptr<DOMNode>> pending;
    if (firstChild_) pending.push_back(std::move(firstChild_));
    if (nextSibling_) pending.push_back(std::move(nextSibling_));
    while (!pending.empty()) {
        std::unique_ptr<DOMNode> node = std::move(pending.back());
        pending.pop_back();
        if (node->firstChild_) pending.push_back(std::move(node->firstChild_));
        if (node->nextSibling_) pending.push_back(std::move(node->nextSibling_));
    }
}

void DOMNode::setValue(const std::string& value) {
    value_.clear();
    value_.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        value_ += value[i];
        if (value[i] == '\\') ++i;  // the escaped character is dropped
    }
}

void DOMNode::addChild(std::unique_ptr<DOMNode> child) {
    if (!child) return;
    DOMNode* added = child.get();
    if (!lastChild_) firstChild_ = std::move(child);
    else lastChild_->nextSibling_ = std::move(child);
    lastChild_ = added;
    // A child that arrives with siblings of its own brings them along.
    while (lastChild_->nextSibling_) lastChild_ = lastChild_->nextSibling_.get();
}

const DOMNode* DOMNode::child(const std::string& name) const {
    for (const DOMNode* node = firstChild_.get(); node; node = node->nextSibling_.get())
        if (node->name_ == name) return node;
    return nullptr;
}

}  // namespace Quilna
