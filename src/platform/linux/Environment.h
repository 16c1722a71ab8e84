#pragma once
// Read access to environment variables behind a function, so session detection can be tested
// with a table instead of the real environment.

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tavolin {

/// The value of a variable; nullopt when it is unset or empty (both mean "not there" to the
/// session variables we look at).
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

/// getenv, evaluated at each call.
EnvironmentLookup SystemEnvironment();

/// A fixed table, for tests.
EnvironmentLookup TableEnvironment(std::map<std::string, std::string> table);

}  // namespace tavolin
