// volnor-trust-ca CA.pem: makes the current Windows user trust a CA (the demo's, in its Wine
// prefix). A tool of the build, never part of the program directory.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include "trust_ca.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: volnor-trust-ca CA.pem\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        const std::string pem{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        volnor::tools::trustCa(pem);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "volnor-trust-ca: %s\n", e.what());
        return 1;
    }
    return 0;
}
