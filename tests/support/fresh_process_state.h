// Every test starts from the process state of a fresh run: no shift sent or
// received, no transfer.
#pragma once

#include <gtest/gtest.h>

#include "link/process_state.h"

namespace tavirel::test {

inline void ResetProcessStateBeforeEachTest() {
    class Listener : public testing::EmptyTestEventListener {
        void OnTestStart(const testing::TestInfo&) override { ResetProcessStateForTests(); }
    };
    testing::UnitTest::GetInstance()->listeners().Append(new Listener);
}

}  // namespace tavirel::test
