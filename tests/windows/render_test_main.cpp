// The renderer's Windows test program. Started with --child=NAME it runs one child scenario
// instead (the tests that must watch a whole process end start themselves that way).
#include <gtest/gtest.h>

#include <cstring>

#include "tests/windows/render_test_env.h"

int main(int argc, char** argv) {
    const char prefix[] = "--child=";
    if (argc >= 2 && std::strncmp(argv[1], prefix, sizeof(prefix) - 1) == 0) {
        return RunChildScenario(argv[1] + sizeof(prefix) - 1, argc - 2, argv + 2);
    }
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new SharedDeviceEnvironment);
    return RUN_ALL_TESTS();
}
