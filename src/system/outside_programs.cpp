#include "system/outside_programs.h"

namespace quarn {

std::wstring WatchdogPath(const std::wstring& installDir) {
    return installDir + L"\\" + kWatchdogExe;
}

std::wstring VersionProgramPath(const std::wstring& installDir) {
    return installDir + L"\\" + kVersionExe;
}

std::wstring DummyProgramPath(const std::wstring& configuratorFolder) {
    if (!configuratorFolder.empty() &&
        (configuratorFolder.back() == L'\\' || configuratorFolder.back() == L'/')) {
        return configuratorFolder + kDummyExe;
    }
    return configuratorFolder + L"\\" + kDummyExe;
}

}  // namespace quarn
