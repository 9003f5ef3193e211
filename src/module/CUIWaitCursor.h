#pragma once
// The wait cursor for the length of a slow operation: lives on the stack.
#include "module/CUIMouseCursor.h"

namespace brevio {

class CUIWaitCursor : public CUIMouseCursor {
public:
    CUIWaitCursor() { Change(Qt::WaitCursor); }
    ~CUIWaitCursor() override { Restore(); }
};

}  // namespace brevio
