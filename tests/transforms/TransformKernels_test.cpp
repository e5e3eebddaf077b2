// Zentarix — MIT licence.
// The transform kernels on their own.
#include <gtest/gtest.h>
