#include <gtest/gtest.h>

#include "KQmessage/Check.h"

// Unit tests observe failed internal checks as CheckFailure exceptions; death tests that need the
// real exit switch back to CheckAction::Exit inside the child.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    glean::SetCheckAction(glean::CheckAction::Throw);
    return RUN_ALL_TESTS();
}
