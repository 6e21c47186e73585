// Runs a command and prints its wall time in seconds and its peak resident
// memory in KiB: "seconds kib". The benchmarks compare these side by side.
// With "-o FILE" first, the command's standard output goes to FILE, so a
// command that prints much pays for writing it, not for a pipe to a reader.
// Usage: runstat [-o FILE] COMMAND [ARGS...]

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* output = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "-o") == 0) {
        output = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: runstat [-o FILE] COMMAND [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (output != nullptr) {
            const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || dup2(fd, 1) < 0) _exit(126);
        }
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.4f %ld\n", seconds, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
