#include "tests/SimProcess.h"

#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace orx::test {

SimProcess::SimProcess(const std::vector<std::string>& options)
{
    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("pipe");
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        std::string path = ORX_SIM_PATH;
        argv.push_back(path.data());
        std::vector<std::string> copy = options;
        for (std::string& o : copy)
            argv.push_back(o.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line is the device path.
    char c;
    pollfd pfd{out[0], POLLIN, 0};
    while (poll(&pfd, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
        m_device.push_back(c);
    close(out[0]);
    if (m_device.empty())
        throw std::runtime_error("velari-sim did not start");
}

SimProcess::~SimProcess() { stop(); }

void SimProcess::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

} // namespace orx::test
