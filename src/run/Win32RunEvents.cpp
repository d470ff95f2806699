#include "run/Win32RunEvents.h"

#include <windows.h>

static_assert(EVENTLOG_INFORMATION_TYPE == 4 && EVENTLOG_WARNING_TYPE == 2 && EVENTLOG_ERROR_TYPE == 1,
              "event types");

void Win32RunEvents::Report(RunEventType type, const std::string& text) {
    // Without the source registered the log still takes the event, with a
    // note that its message is missing; a log that refuses it changes nothing.
    HANDLE source = ::RegisterEventSourceA(nullptr, kRunEventSource);
    if (!source) return;
    const RunEventRecord record = RunEventRecordFor(type);
    const char* strings[] = {text.c_str()};
    ::ReportEventA(source, record.type, 0, record.id, nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(source);
}
