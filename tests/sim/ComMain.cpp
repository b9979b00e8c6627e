// The simulator's objects live in a single-threaded apartment, as in the reader.
#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int r = RUN_ALL_TESTS();
    CoUninitialize();
    return r;
}
