#include "tools/quarnctl/status_command_win32.h"

#include <windows.h>

#include <memory>
#include <optional>

#include "catalogue/catalogue_pass.h"
#include "catalogue/rows_in_force.h"
#include "system/account_hive_win32.h"
#include "system/auto_logon.h"
#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/outside_programs.h"
#include "system/program_path_win32.h"
#include "system/restore_point.h"
#include "system/settings.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/commands.h"
#include "watch/service_commands.h"

namespace quarn {
namespace {

std::string ServiceState() {
    const win32::unique_service manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return "cannot be asked (OpenSCManagerW: " + std::to_string(::GetLastError()) + ")";
    }
    const win32::unique_service service(
        ::OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
    if (!service) {
        const DWORD error = ::GetLastError();
        return error == ERROR_SERVICE_DOES_NOT_EXIST
                   ? "not installed"
                   : "cannot be asked (OpenServiceW: " + std::to_string(error) + ")";
    }
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service.get(), &status)) {
        return "cannot be asked (QueryServiceStatus: " + std::to_string(::GetLastError()) + ")";
    }
    return status.dwCurrentState == SERVICE_RUNNING ? "running" : "not running";
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

}  // namespace

int StationStatus(const std::filesystem::path& folder, const std::vector<std::string>& args,
                  std::ostream& out) {
    const quarnctl::Arguments arguments =
        quarnctl::ParseArguments(args, {"--rows"}, 0, "status takes only --rows");
    const std::wstring account = ReadAccountName();
    const bool lockDown = ReadCompleteLockDown() == L"true";
    std::unique_ptr<AccountHive> hive;
    std::string accountLine = "\"" + Utf16ToUtf8(account) + "\"";
    try {
        hive = HiveOfAccount(account);
        accountLine += " (" + Utf16ToUtf8(hive->Sid()) + ")";
    } catch (const AccountHiveError& error) {
        if (error.Failure() == HiveFailure::Unreachable) {
            throw;
        }
        accountLine += ": " + std::string(error.what());
    }
    const std::wstring shell = hive ? ReadAccountShell(hive->KeyName()) : std::wstring();
    const std::wstring watchdog = WatchdogPath(ReadInstallDir());
    const bool lockedDown = lockDown && !shell.empty() && EqualsIgnoringCaseAZ(shell, watchdog);

    out << "Account:        " << accountLine << "\n";
    out << "Locked down:    " << (lockedDown ? "yes" : "no") << "\n";
    out << "Lock Down:      " << OnOff(lockDown) << "\n";
    const bool autoLogon = ReadAutoLogonOn();
    out << "Auto Logon:     " << OnOff(autoLogon)
        << (autoLogon ? " for \"" + Utf16ToUtf8(ReadAutoLogonUser()) + "\"" : std::string())
        << "\n";
    out << "Shell:          " << (shell.empty() ? "none of its own" : Utf16ToUtf8(shell)) << "\n";
    out << "Watch service:  " << ServiceState() << "\n";

    PolicyTable lock = quarnctl::Load(PathText(folder / kLockCatalogueFileName));
    const std::vector<RowInForce> rows =
        CompareWithRegistry(lock, DefaultRegistry(), hive ? hive->KeyName() : std::wstring());
    std::size_t differing = 0;
    for (const RowInForce& row : rows) {
        differing += !row.inForce;
    }
    out << "Lock catalogue: " << rows.size() - differing << " of " << rows.size()
        << " rows of quarn.xml in force, " << differing << " differ"
        << (hive ? "" : " (the account's rows not compared: it has no hive)") << "\n";
    if (arguments.Has("--rows")) {
        std::vector<std::vector<std::string>> lines;
        for (const RowInForce& row : rows) {
            if (!row.inForce) {
                lines.push_back({row.index, Cp1252ToUtf8(row.subtree + "\\" + row.subkey),
                                 row.wanted, row.now});
            }
        }
        if (!lines.empty()) {
            quarnctl::PrintTable(out, {"  INDEX", "KEY AND VALUE", "WANTED", "NOW"}, [&] {
                for (auto& line : lines) {
                    line[0] = "  " + line[0];
                }
                return lines;
            }());
        }
    }
    std::optional<RestorePoint> point;
    std::string pointLine = "none";
    try {
        point = LoadRestorePoint(folder / kRestorePointFileName);
        if (point) {
            pointLine = std::string(kRestorePointFileName) + ", " +
                        std::to_string(point->Targets().size()) + " targets recorded";
        }
    } catch (const Error& error) {
        pointLine = std::string("damaged: ") + error.what();
    }
    out << "Restore point:  " << pointLine << "\n";
    return differing == 0 ? quarnctl::kClean : quarnctl::kFindings;
}

std::vector<PlatformCommand> StatusCommands() {
    return {
        {"status",
         "  quarnctl status [--rows]\n"
         "      The station at a glance: the account in \"QUARN-Username\" and whether\n"
         "      it is locked down, Lock Down, Auto Logon, the account's shell, the\n"
         "      watch service, how many rows of quarn.xml (beside quarnctl.exe) are in\n"
         "      force in the registry now and how many differ (--rows lists them),\n"
         "      and the restore point. Exit status 0 when every row is in force, 1\n"
         "      otherwise, 2 on errors.\n",
         [](const std::vector<std::string>& args, std::ostream& out) {
             return StationStatus(ExecutableFolder(), args, out);
         }},
    };
}

}  // namespace quarn
