// The editor's bitmaps, embedded in the library as PNG data and found by resource number.
#pragma once

#include <cstddef>

namespace resources
{

enum ResourceId : int
{
    kBackgroundBitmap = 1,
    kKnobBodyBitmap = 2,
    kKnobHandleBitmap = 3,
};

struct ResourceData
{
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// The PNG bytes of a resource; empty for a number that has none.
ResourceData findResource(int id);

} // namespace resources
