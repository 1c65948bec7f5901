// GUI test programs start GDI+ for all their tests.
#include <gtest/gtest.h>

#include "tests/framework/gui_test_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new test::GdiplusEnvironment);
  return RUN_ALL_TESTS();
}
