// Cursors that stand for a while: the hourglass while the program is busy,
// the arrow while it waits for the user.
#pragma once

#include <Qt>

// Shows the shape while it lives; the cursor that was in effect before comes
// back however the scope ends.
class TOverrideCursor {
public:
    explicit TOverrideCursor(Qt::CursorShape shape);
    ~TOverrideCursor();
    TOverrideCursor(const TOverrideCursor &) = delete;
    TOverrideCursor &operator=(const TOverrideCursor &) = delete;
};

class THourglassCursor : public TOverrideCursor {
public:
    THourglassCursor() : TOverrideCursor(Qt::WaitCursor) {}
};
