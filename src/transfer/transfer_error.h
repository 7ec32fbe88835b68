#pragma once
#include <QString>

#include "platform/error.h"

namespace volnor {

// A failed transfer of a client. Its text is the technical detail (curl's message and the URL);
// curl's result and the HTTP status tell what went wrong, for a reason in the user's words.
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
        Other,
    };

    // curlCode: curl's result (CURLcode), 0 when curl itself succeeded; httpStatus: the last
    // response's status, 0 without one.
    TransferError(const QString& text, int curlCode, long httpStatus);

    int curlCode() const { return curlCode_; }
    long httpStatus() const { return httpStatus_; }
    Kind kind() const;

private:
    int curlCode_;
    long httpStatus_;
};

}  // namespace volnor
