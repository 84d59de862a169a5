#pragma once

// What /proc tells of another process: its CPU time (or one thread's) and resident memory.

#include <QtGlobal>
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

} // namespace velquist::bench
