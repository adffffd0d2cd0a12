#pragma once
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace Quilna::TestSupport {

// Sets an environment variable for a scope and restores its earlier state.
class EnvironmentScope {
public:
    // No value: the variable is unset for the scope.
    EnvironmentScope(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        std::string old;
        if (platform().getEnv(name_, old)) old_ = old;
        SystemError error;
        value ? platform().setEnv(name_, *value, error) : platform().unsetEnv(name_, error);
    }
    ~EnvironmentScope() {
        SystemError error;
        old_ ? platform().setEnv(name_, *old_, error) : platform().unsetEnv(name_, error);
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace Quilna::TestSupport
