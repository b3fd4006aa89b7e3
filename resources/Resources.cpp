// Resource numbers to embedded PNG data.
#include "Resources.h"

#include "EmbeddedBitmaps.h"

namespace resources
{

ResourceData findResource(int id)
{
    switch (id)
    {
    case kBackgroundBitmap:
        return {kBackgroundPng, kBackgroundPngSize};
    case kKnobBodyBitmap:
        return {kKnobBodyPng, kKnobBodyPngSize};
    case kKnobHandleBitmap:
        return {kKnobHandlePng, kKnobHandlePngSize};
    default:
        return {};
    }
}

} // namespace resources
