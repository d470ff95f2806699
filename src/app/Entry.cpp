#include "app/Entry.h"

#include <exception>

#include "system/Exception.h"

namespace {

const char* const kWrongSystem = "Windows 2000 以外には対応しておりません。";
const char* const kApplicationError = "アプリケーション エラー";

int ReportFatal(IEntryHost& host, const std::string& text) {
    host.MessageBoxA(0, text.c_str(), kApplicationError, mb::kOk | mb::kIconStop | mb::kTaskModal);
    return 1;
}

}  // namespace

int WindowsVersionCode(unsigned platformId, unsigned major, unsigned minor) {
    return platformId == version::kPlatformWin32Nt && major == 5 && minor == 0 ? 2000 : 0;
}

std::string FatalErrorText(const Exception& error) {
    return std::string(error.ClassName()) + ": " + error.Message();
}

int QuendroMain(IEntryHost& host, const std::vector<std::string>& args) {
    if (host.CheckWindowsVersion() != 2000) {
        host.MessageBoxA(0, kWrongSystem, nullptr, mb::kOk | mb::kIconWarning);
        return 0;
    }
    if (args.empty()) return host.RunWindowMode();
    try {
        host.RunCommandLine(args);
    } catch (const Exception& error) {
        return ReportFatal(host, FatalErrorText(error));
    } catch (const std::exception& error) {
        return ReportFatal(host, std::string("Exception: ") + error.what());
    }
    return 0;
}
