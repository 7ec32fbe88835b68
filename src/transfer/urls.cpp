#include <string>

#include "buildconfig.h"
#include "transfer/ftp_client.h"

namespace volnor {

std::string ftpServerUrl() {
    return "ftp://" + std::string(buildconfig::kFtpHost) + ":" + std::to_string(FtpClient::kPort);
}

}  // namespace volnor
