// Runs a command several times as a whole process and prints the median wall
// time and the largest peak resident memory, for the benchmark scripts:
//
//   bench_run RUNS COMMAND [ARG...]
//
// prints "wall_ms_median=<ms> wall_ms_min=<ms> cpu_ms_median=<ms> peak_kb=<kB>" on
// one line; the processor time (user and system, all threads) is less disturbed
// than the wall time when other work shares the machine.
// Standard output and error of the command are discarded.

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_run RUNS COMMAND [ARG...]\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<double> walls;
    std::vector<double> cpus;
    long peakKb = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execvp(argv[2], argv + 2);
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const auto end = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "bench_run: %s failed (status %d)\n", argv[2], status);
            return 1;
        }
        walls.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        peakKb = std::max(peakKb, usage.ru_maxrss);
        auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
        cpus.push_back(ms(usage.ru_utime) + ms(usage.ru_stime));
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    std::printf("wall_ms_median=%.2f wall_ms_min=%.2f cpu_ms_median=%.2f peak_kb=%ld\n", walls[walls.size() / 2],
                walls.front(), cpus[cpus.size() / 2], peakKb);
    return 0;
}
