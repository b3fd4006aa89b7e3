// The PNG files of this folder as byte arrays (generated into the build folder).
#pragma once

#include <cstddef>

namespace resources
{
extern const unsigned char kBackgroundPng[];
extern const size_t kBackgroundPngSize;
extern const unsigned char kKnobBodyPng[];
extern const size_t kKnobBodyPngSize;
extern const unsigned char kKnobHandlePng[];
extern const size_t kKnobHandlePngSize;
} // namespace resources
