#include "bench/child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

CommandOutcome RunCommand(const std::vector<std::string>& arguments,
                          const std::vector<std::pair<std::string, std::string>>& environment) {
    CommandOutcome outcome;
    int errors[2];
    if (arguments.empty() || pipe(errors) != 0) return outcome;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(errors[0]);
        dup2(errors[1], 2);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 0);
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(errors[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(errors[0], buffer, sizeof buffer)) > 0) outcome.errors.append(buffer, size_t(n));
    close(errors[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
    outcome.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return outcome;
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    size_t from = 0;
    while (from <= folders.size()) {
        const size_t to = folders.find(':', from);
        const std::string folder = folders.substr(from, to == std::string::npos ? std::string::npos : to - from);
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        if (to == std::string::npos) break;
        from = to + 1;
    }
    return false;
}
