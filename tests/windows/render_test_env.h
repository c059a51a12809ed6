// The device that the renderer's tests share, and the child scenarios of the test program.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/windows/render_test_support.h"
#include "windows/frame_renderer.h"

// Made once per test program, the way start-up makes it.
class SharedDeviceEnvironment : public testing::Environment {
  public:
    void SetUp() override;
    void TearDown() override;
};

// The shared device; null when the platform gave none (the environment has failed then).
IDirect3DDevice9* SharedDevice();

// A lockable A8R8G8B8 render target and a picture surface of one size, for drawing tests.
struct DrawTarget {
    IDirect3DSurface9* renderTarget = nullptr;
    IDirect3DSurface9* picture = nullptr;
};
DrawTarget CreateDrawTarget(IDirect3DDevice9* device, int32_t width, int32_t height);
void ReleaseDrawTarget(DrawTarget& target);
// Copies the render target down and returns its pixels.
std::vector<uint32_t> ReadDrawTarget(IDirect3DDevice9* device, const DrawTarget& target);

// A picture surface with its lock and event, made as start-up makes them.
struct TestPictureOutput {
    PictureOutput output;
    CRITICAL_SECTION lock{};

    TestPictureOutput(IDirect3DDevice9* device, int32_t width, int32_t height);
    ~TestPictureOutput();
    TestPictureOutput(const TestPictureOutput&) = delete;
    TestPictureOutput& operator=(const TestPictureOutput&) = delete;
};

// A scenario that runs in a child process: gets the arguments after --child=NAME and returns
// the process's exit status.
using ChildScenario = int (*)(int argc, char** argv);
struct ChildScenarioRegistration {
    ChildScenarioRegistration(const char* name, ChildScenario scenario);
};
// In a child: AppState's device, picture surface (width x height), lock and event made as the
// player's start-up makes them, with the exit-time clean-up registered in the same order, and a
// report of what the clean-up did printed last at exit ("clean-up hold=... release=...").
bool StartChildLikeThePlayer(int32_t width, int32_t height);

// Prints a line to standard output at once (the parent reads it through a pipe).
void Say(const char* text);

#define REGISTER_CHILD_SCENARIO(name, function) \
    static ChildScenarioRegistration childScenario_##function(name, function)
int RunChildScenario(const char* name, int argc, char** argv);
