#include "ui/ScreenCursors.h"

void TScreenCursors::Register(TCursorNumber number, TCursorHandle cursor) {
    if (cursor == 0)
        cursors_.erase(number);
    else
        cursors_[number] = cursor;
}

TCursorHandle TScreenCursors::Find(TCursorNumber number) const {
    const auto found = cursors_.find(number);
    return found == cursors_.end() ? 0 : found->second;
}

TScreenCursors& ScreenCursors() {
    static TScreenCursors table;
    return table;
}
