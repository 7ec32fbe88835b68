#pragma once
// The build's test CA among the trusted roots of the Wine prefix the tests run in, so that the
// Windows HTTP client checks the test servers' certificates for real, against the system's store.

namespace volnor::wintest {

// Adds VOLNOR_TEST_CA_CERT to the current user's root store (replacing an earlier copy), once per
// test program; throws std::runtime_error when it cannot.
void trustTestCa();

}  // namespace volnor::wintest
