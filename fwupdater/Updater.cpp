#include "fwupdater/Updater.h"

#include <exception>

#include "fwupdater/MV_Comm.h"
#include "fwupdater/UpdaterNotice.h"

namespace pallumo {

int Updater::Run(const std::vector<std::string>& args) {
    s_ = UpdaterSettings{};
    ParseArguments(args, s_, env_);
    Informative(BannerText(version_.major, version_.minor, version_.patch));
    if (s_.helpRequested || args.empty()) {
        Error(UsageText());
    } else if (!s_.parseFailed) {
        RunUpdate();
    }
    Error("\n");
    return s_.exitCode;
}

void Updater::RunUpdate() {
    if (s_.port.empty()) {
        Error("\n*** COM Port must be selected (-c <n>) or (-d <name>)");
        s_.exitCode = exit_code::kNoPort;
        return;
    }
    if (s_.firmwareFile.empty()) {
        Error("\n*** Firmware filename must be provided (-f <filename>)");
        s_.exitCode = exit_code::kNoComNumberOrNoFile;
        return;
    }
    const NoticeFn notice = [this](uint32_t kind, uint32_t value) { Notice(kind, value); };
    std::unique_ptr<MV_Comm> link;
    try {
        link = std::make_unique<MV_Comm>(s_.port, notice);
    } catch (const std::exception& e) {
        Error(std::string("\n*** COM Port opend failed: ") + e.what());
        s_.exitCode = exit_code::kFailed;
        return;
    }
    link->onUpdateStart = [this](uint32_t total) { OnUpdateStart(total); };
    link->onProgress = [this](uint32_t sent) { PrintProgress(sent); };
    link->onError = [this](const std::string& text) { OnUpdateError(text); };
    try {
        link->UpdateFirmware(s_.firmwareFile, [this](LinkResult r) { OnUpdateComplete(r); });
    } catch (const std::exception& e) {
        Error(std::string("\n*** ") + e.what());
        s_.exitCode = exit_code::kFailed;
    }
}

void Updater::OnUpdateStart(uint32_t total) {
    total_ = total;
    Notice(notice::kUpdate, notice::kUpdateStarted);
    Informative(kProgressStartText);
}

void Updater::PrintProgress(uint32_t bytesSent) {
    Notice(notice::kProgress, ProgressPercent(bytesSent, total_));
    Informative(ProgressText(bytesSent, total_));
}

void Updater::OnUpdateError(const std::string& text) {
    PrintProgress(total_);
    Error("\n*** " + text);
    s_.exitCode = exit_code::kFailed;
}

void Updater::OnUpdateComplete(LinkResult result) {
    PrintProgress(total_);
    if (result == LINK_OK) {
        Notice(notice::kUpdate, notice::kUpdateSucceeded);
        Informative("\nCompleted succesfully - Reset device");
        s_.exitCode = exit_code::kOk;
        return;
    }
    // Every other result is a failure, listed or not: never exit code 0.
    Notice(notice::kUpdate, notice::kUpdateFailed);
    Error("\n*** Firmware update failed!\n - Please, contact Merovan for further instructions");
    s_.exitCode = exit_code::kFailed;
}

}  // namespace pallumo
