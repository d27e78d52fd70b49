// Runs a command several times and reports the medians of its CPU time
// (user + system) and wall time, and its peak resident memory, from the
// kernel's own accounting of the child (wait4).
// Usage: vant_measure REPEATS command [args...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s REPEATS command [args...]\n", argv[0]);
        return 2;
    }
    const int repeats = std::max(1, std::atoi(argv[1]));
    std::vector<double> cpu, wall;
    long peakKb = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0) dup2(devnull, 1);
            execvp(argv[2], argv + 2);
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        const auto t1 = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
            std::fprintf(stderr, "command failed\n");
            return 1;
        }
        cpu.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
        wall.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        peakKb = std::max(peakKb, usage.ru_maxrss);
    }
    std::printf("%.2f %.2f %ld\n", median(cpu), median(wall), peakKb);
    return 0;
}
