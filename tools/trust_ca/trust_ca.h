#pragma once
// A CA certificate among the trusted roots of the current Windows user (of a Wine prefix, for
// the tests and the demo), so that the program's HTTPS client checks the local servers'
// certificates against the system's store, as it checks the maker's.
#include <string>

namespace volnor::tools {

// pem: one certificate in PEM. Replaces an earlier copy; throws std::runtime_error when it
// cannot.
void trustCa(const std::string& pem);

}  // namespace volnor::tools
