#include "update/startup.h"

#include <exception>

#include "transfer/ftp_client.h"
#include "transfer/http_client.h"

namespace volnor::update {

StartupResult runStartup(const StartupServices& services, const WinPaths& paths,
                         const std::filesystem::path& exeDir, const Settings& settings) {
    StartupResult result;
    try {
        services.http.setHandleRedirects(true);
        services.http.setUserAgent(HttpClient::kUserAgent);
        removeRestartScript(exeDir);
        removeSetAside(settings.program);
        // Its result is not looked at: a folder that cannot be made stops nothing.
        std::error_code ignored;
        std::filesystem::create_directories(paths.native(kPartsDataFolder), ignored);

        fetchConfiguration(services.http);
        Configuration config(services.ini, exeDir, settings);
        result.statusText = config.statusText();
        result.news = config.news();
        const Configuration::Dates dates = config.dates();
        if (dates.updateDue()) {
            SelfUpdate updater(services.ftp, services.runner, services.signatures, exeDir,
                               settings);
            const SelfUpdate::Outcome outcome =
                updater.run(config, dates.mydate, result.cmdrun, result.cmdupdate);
            result.terminate = outcome.started;
            result.updateFailure = outcome.statusText;
        }
        services.progress.setPosition(0);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace volnor::update
