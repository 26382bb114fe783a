// The program itself: started with --port 0 it prints its port first,
// serves, and ends cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(ProcessTest, PrintsItsPortFirstAndStopsCleanlyOnSigterm) {
    const auto data = std::filesystem::temp_directory_path() / ("devservice-proc-" + std::to_string(::getpid()));
    int out[2];
    ASSERT_EQ(0, pipe(out));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(DEVSERVICE_BINARY, DEVSERVICE_BINARY, "--port", "0", "--data", data.c_str(), "--quiet",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::FILE* lines = fdopen(out[0], "r");
    char line[64] = {};
    ASSERT_NE(nullptr, std::fgets(line, sizeof line, lines));
    const int port = std::atoi(line);
    ASSERT_GT(port, 0) << line;

    httplib::Client client("127.0.0.1", port);
    auto res = client.Get("/update.xml");
    ASSERT_TRUE(res);
    EXPECT_NE(std::string::npos, res->body.find("<update>"));

    ASSERT_EQ(0, kill(child, SIGTERM));
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(0, WEXITSTATUS(status));
    std::fclose(lines);
    std::filesystem::remove_all(data);
}

}  // namespace
