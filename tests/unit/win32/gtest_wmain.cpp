// Entry point of the Windows unit-test image: the build links with -municode, so the C
// runtime calls wmain, and GoogleTest takes the wide arguments as given.
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
