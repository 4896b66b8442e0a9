// Engine tests (POSIX only): pipes and sockets among the sources and in the destination are never
// opened or compared; a source one stays where it is.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

bool MakePipe(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

// A socket file stays after its socket is closed.
bool MakeSocketFile(const std::string& path) {
    struct sockaddr_un address {};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const bool bound = ::bind(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool IsPipe(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

class SpecialEntriesTest : public MoveFixture {
protected:
    SpecialEntriesTest() {
        // Opening a pipe with no writer would block the test for good: it fails instead, and the
        // pipe gives way to an empty file so the run can end.
        m_fnBeforeOpen = [](const std::string& path) {
            if (!IsPipe(path)) return;
            ADD_FAILURE() << "opened the pipe " << path;
            ::unlink(path.c_str());
            WriteFile(path, "");
        };
    }
    static std::string LeftSpecial(const std::string& s) {
        return "Left \"" + Native(s) +
               "\" alone, because it is not a regular file (a pipe, socket or device).\r\n";
    }
};

// Each is listed with size 0, the size of the empty files beside it.
TEST_F(SpecialEntriesTest, PipesAndSocketsStayAndAreNeverCompared) {
    ASSERT_TRUE(MakePipe(Src("pipe")));
    ASSERT_TRUE(WriteFile(Dst("pipe"), ""));
    ASSERT_TRUE(MakeSocketFile(Src("socket")));
    ASSERT_TRUE(WriteFile(Src("Docs/empty.txt"), ""));
    ASSERT_TRUE(MakePipe(Src("Docs/inner-pipe")));
    ASSERT_TRUE(MakeFolders(Dst("Docs")));
    ASSERT_TRUE(MakePipe(Dst("Docs/dest-pipe")));

    EXPECT_EQ(engine::MoveFinished, Run({Src("pipe"), Src("socket"), Src("Docs")}));

    const std::string top = LeftSpecial("pipe") + LeftSpecial("socket");
    const std::string docs =
        "Didn't delete source folder \"Docs\" because it wasn't possible to move all "
        "objects from within it.\r\n";
    // The folder's own entries come in its listing order.
    EXPECT_EQ(top.size() + docs.size() + LeftSpecial("Docs/inner-pipe").size() +
                  UniqueLine("Docs/empty.txt", "Docs/empty.txt").size(),
              m_log.size());
    EXPECT_EQ(0u, m_log.find(top)) << m_log;
    EXPECT_TRUE(m_log.ends_with(docs)) << m_log;
    EXPECT_NE(std::string::npos, m_log.find(LeftSpecial("Docs/inner-pipe"))) << m_log;
    EXPECT_NE(std::string::npos, m_log.find(UniqueLine("Docs/empty.txt", "Docs/empty.txt"))) << m_log;
    EXPECT_TRUE(m_lstOpened.empty());
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    EXPECT_TRUE(IsPipe(Src("pipe")));
    EXPECT_TRUE(IsPipe(Src("Docs/inner-pipe")));
    EXPECT_TRUE(IsPipe(Dst("Docs/dest-pipe")));
    EXPECT_TRUE(Exists(Src("socket")));
    EXPECT_FALSE(Exists(Dst("socket")));
    EXPECT_EQ("", ReadFile(Dst("Docs/empty.txt")));
}

}  // namespace
}  // namespace tandemere::testing
