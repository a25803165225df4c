// Runs a command and prints, as the last line on stderr, its peak resident
// memory in KiB and its exit status. A small launcher of its own, because a child's peak counts the
// memory of the process that forked it: a child of the Python benchmark
// script would report the script's size rather than its own.
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: rss_probe COMMAND [ARGUMENT...]\n");
        return 2;
    }
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) < 0)
        return 2;
    std::fprintf(stderr, "%ld %d\n", usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}
