#pragma once
#include <string>

namespace volnor {

class TransferError;
struct ScriptResult;

// Why an archive did not arrive, in words a designer understands, with the technical detail in
// brackets: the HTTP status alone for an answer of the server, the client's text otherwise.
std::string failureReason(const TransferError& error);

// Why an archive that arrived was not unpacked, with the interpreter's first complaint.
std::string unpackFailureReason(const ScriptResult& result);

}  // namespace volnor
