#pragma once

// What /proc tells of a process: another's CPU time (or one thread's) and resident memory, and how
// long the calling thread has waited for a CPU.

#include <QtGlobal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace velquist::bench {

// User plus system CPU time from a /proc stat file, in seconds; negative when it is gone.
inline double statCpuSeconds(const std::string& statFile)
{
    std::ifstream in(statFile);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto end = text.rfind(')');
    if (end == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::stoull(field);
        if (index == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// User plus system CPU time of a process, in seconds; negative when it is gone.
inline double cpuSeconds(qint64 pid)
{
    return statCpuSeconds("/proc/" + std::to_string(pid) + "/stat");
}

// The same for one of its threads; the main thread's id is the process id.
inline double threadCpuSeconds(qint64 pid, qint64 thread)
{
    return statCpuSeconds("/proc/" + std::to_string(pid) + "/task/" + std::to_string(thread) + "/stat");
}

// Resident memory of a process in MiB; negative when it is gone.
inline double residentMiB(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

// Nanoseconds the calling thread has spent runnable but waiting for a CPU (the second field of its
// schedstat): what other programs on a loaded machine add to its wall-clock time. 0 where the kernel
// does not count it, which leaves a figure whole.
inline qint64 runQueueWaitNs()
{
    char text[128] = {};
    const int fd = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    unsigned long long running = 0, waiting = 0;
    return got > 0 && std::sscanf(text, "%llu %llu", &running, &waiting) == 2 ? static_cast<qint64>(waiting)
                                                                              : 0;
}

} // namespace velquist::bench
