// Frees cairo's and fontconfig's process-wide caches at the end of the tests, so that the leak checker
// sees only what the editor itself leaves behind.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

namespace
{
class FontCleanup : public ::testing::Environment
{
public:
    void TearDown() override
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new FontCleanup);
} // namespace
