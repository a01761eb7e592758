// A scratch folder for file tests, removed with everything in it.
#pragma once

#include "../engine/file_test_support.h"

namespace qd::testing {

using qd::test::TTempFolder;

}  // namespace qd::testing
