#include "transfer/transfer_error.h"

#include <curl/curl.h>

namespace volnor {

TransferError::TransferError(const QString& text, int curlCode, long httpStatus)
    : Error(text), curlCode_(curlCode), httpStatus_(httpStatus) {}

TransferError::Kind TransferError::kind() const {
    const auto code = static_cast<CURLcode>(curlCode_);
    if (code == CURLE_OK || code == CURLE_HTTP_RETURNED_ERROR) {
        if (httpStatus_ == 404 || httpStatus_ == 410) return Kind::NotFound;
        if (httpStatus_ >= 500 && httpStatus_ <= 599) return Kind::ServerError;
        return Kind::OtherStatus;
    }
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return Kind::NoConnection;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            return Kind::BrokenOff;
        case CURLE_PARTIAL_FILE:
            return Kind::Incomplete;
        case CURLE_OPERATION_TIMEDOUT:
            return Kind::TimedOut;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CERTPROBLEM:
            return Kind::Secure;
        default:
            return Kind::Other;
    }
}

}  // namespace volnor
