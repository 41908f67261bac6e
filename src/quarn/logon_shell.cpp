#include "quarn/logon_shell.h"

namespace quarn {

std::wstring ErrorReportText(const std::wstring& message) {
    if (!message.empty() && message.back() > L'.') {
        return message + L".";
    }
    return message;
}

}  // namespace quarn
