// Where controls read the live mouse state while they track a drag: the window system, or a test's script.
#pragma once

#include "Geometry.h"

namespace toolkit
{

class MouseSource
{
public:
    virtual ~MouseSource() = default;
    // Button and modifier flags (kLButton .. kAlt) as they are now.
    virtual int buttons() = 0;
    // Pointer position in frame coordinates as it is now.
    virtual Point position() = 0;
};

} // namespace toolkit
