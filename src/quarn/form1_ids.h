#pragma once

// The identifiers of the main window's controls, timers and menu items; a
// driver of the window (the end-to-end tests) finds the controls by them.

#include <cstdint>

namespace quarn::form1 {

enum ControlId : int {
    kUserId = 100,
    kPasswordId,
    kProgramId,
    kParameterId,
    kLockId,
    kShowPassId,
    kLockDownId,
    kAutoLogonId,
    kPasswordButtonId,
    kWriteAllId,
    kImage1Id,
    kImage2Id,
    kSidLabelId,
    kProgressBarId,
    kReleaseLabelId,
    kOpenXmlId = 200,
    kStartHereId,
    kExitId,
    kRestoreStationId,
    kHelpId = 210,
    kAboutId,
};

}  // namespace quarn::form1
