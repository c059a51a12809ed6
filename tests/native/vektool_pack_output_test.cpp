// Where `vektool pack` writes without -o: the user's own folder for an installed vektool only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack_output.h"

TEST(PackOutput, OnlyAnInstalledVektoolHasADefaultFolder) {
    const std::string user = "/home/u/.local/share/noctiva/vek.bin";
    const std::vector<std::string> folders = {"/usr/share/noctiva", "/opt/n/share/noctiva",
                                              "/share/noctiva"};
    struct Case {
        const char* program;
        std::string userArchive;
        const char* expected;
    };
    const Case cases[] = {
        {"/usr/bin/vektool", user, "/home/u/.local/share/noctiva"},
        {"/opt/n/bin/vektool", user, "/home/u/.local/share/noctiva"},  // another prefix
        {"/bin/vektool", user, "/home/u/.local/share/noctiva"},        // PREFIX is /
        {"/usr/local/bin/vektool", user, ""},          // no /usr/local/share/noctiva beside it
        {"/work/build/native/bin/vektool", user, ""},  // a build: vek.bin lies beside it
        {"/home/u/noctiva-0.1.0/vektool", user, ""},   // an unpacked folder, not a bin/
        {"/usr/sbin/vektool", user, ""},
        {"/usr/bin/vektool", "", ""},  // no HOME: no user folder to write
        {"vektool", user, ""},
        {"", user, ""},  // the program's path could not be read
    };
    for (const Case& c : cases) {
        const auto isFolder = [&](const std::string& path) {
            for (const std::string& folder : folders) {
                if (path == folder) return true;
            }
            return false;
        };
        EXPECT_EQ(DefaultPackFolder(c.program, c.userArchive, isFolder), c.expected)
            << "program '" << c.program << "', user archive '" << c.userArchive << "'";
    }
}
