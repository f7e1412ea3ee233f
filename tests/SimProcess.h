#pragma once

// velari-sim run as a child process for a test: started with options, its
// device path read from its first line, stopped at the end.

#include <string>
#include <sys/types.h>
#include <vector>

namespace orx::test {

class SimProcess
{
public:
    explicit SimProcess(const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& device() const { return m_device; }
    void stop();

private:
    pid_t m_pid = -1;
    std::string m_device;
};

} // namespace orx::test
