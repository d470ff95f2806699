#pragma once
// The application's table of screen cursors: cursor number -> cursor handle.
// A control asks the table for the handle of its Cursor number when the
// pointer is over it. Registering a number again replaces the earlier handle.
#include <cstdint>
#include <map>

using TCursorNumber = int;
using TCursorHandle = std::uintptr_t;  // an HCURSOR in the Win32 build

class TScreenCursors {
public:
    // A null handle removes the entry, so the number falls back to the default.
    void Register(TCursorNumber number, TCursorHandle cursor);
    // The registered handle, or 0 when the number has none (the caller then
    // shows the system's arrow).
    TCursorHandle Find(TCursorNumber number) const;

private:
    std::map<TCursorNumber, TCursorHandle> cursors_;
};

// The one table of the application.
TScreenCursors& ScreenCursors();
