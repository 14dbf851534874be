// What both capture fuzzers do once a reader has its header: map the pins by their names
// (or the parallel cable's), judge every change, and trap on a report that breaks its own
// bounds.
#pragma once

#include "check/capture.h"

template <class Reader>
int judgeAll(Reader& reader) {
    check::PinMap map;
    if (check::mapPins(reader.vars(), {}, map)) return 0;
    hd44780::Controller controller;
    const check::Judged j = check::judge(reader, map, controller);
    if (j.violations.size() > check::Judged::kKept || j.violations.size() > j.violationCount)
        __builtin_trap();
    return 0;
}
