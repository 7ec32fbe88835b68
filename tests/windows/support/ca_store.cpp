#include "support/ca_store.h"

#include <mutex>
#include <stdexcept>
#include <string>

#include "support/files.h"
#include "trust_ca.h"

namespace volnor::wintest {

void trustTestCa() {
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string pem = test::readFile(VOLNOR_TEST_CA_CERT);
        if (pem.empty()) throw std::runtime_error("no test CA at " VOLNOR_TEST_CA_CERT);
        tools::trustCa(pem);
    });
}

}  // namespace volnor::wintest
