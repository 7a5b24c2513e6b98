#pragma once
#include "host/eservice.h"
#include "ripper/ripper_control.h"

// Asks the host's player to play ref unless the parental lock forbids it:
// 1 when asked, 0 when refused.
int my_playService(const eServiceReference& ref);
// The ripper probe without any widget: 1 when a ripper runs, 0 when none
// (and /tmp/lumopid and /tmp/lumorip are removed).
int my_findpid(const oruvel::ripper::Control& ripper);
