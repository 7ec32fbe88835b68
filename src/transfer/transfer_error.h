#pragma once
#include <string>

#include "platform/error.h"

namespace volnor {

// A failed transfer of a client. Its text is the technical detail (the client's message and the
// URL); the kind and the HTTP status tell what went wrong, for a reason in the user's words. The
// client that raises it decides the kind from its own result codes.
class TransferError : public Error {
public:
    enum class Kind {
        NotFound,      // HTTP 404 or 410
        ServerError,   // HTTP 5xx
        OtherStatus,   // any other status that is no success
        NoConnection,  // the host not found, the connection refused, no network
        BrokenOff,     // the connection ended or failed in the middle
        Incomplete,    // the body ended before its announced length
        TimedOut,      // no connection or no data within the time-out
        Secure,        // the TLS handshake failed
        Certificate,   // the server's certificate was refused: unknown CA, expired, another name
        Other,
    };

    // httpStatus: the last response's status, 0 without one.
    TransferError(const std::string& text, Kind kind, long httpStatus)
        : Error(text), kind_(kind), httpStatus_(httpStatus) {}

    Kind kind() const { return kind_; }
    long httpStatus() const { return httpStatus_; }

private:
    Kind kind_;
    long httpStatus_;
};

}  // namespace volnor
