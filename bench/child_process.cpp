#include "bench/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

CommandOutcome RunCommand(const std::vector<std::string>& arguments,
                          const std::vector<std::pair<std::string, std::string>>& environment) {
    CommandOutcome outcome;
    int errors[2];
    if (arguments.empty() || pipe(errors) != 0) return outcome;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, errors[0]);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (std::string& variable : variables) envp.push_back(&variable[0]);
    envp.push_back(nullptr);
    // The peak comes from GNU time where it is installed: a child of the
    // benchmark inherits the benchmark's own peak resident memory at exec,
    // one of time's does not.
    static const bool timed = access("/usr/bin/time", X_OK) == 0;
    std::vector<std::string> command = arguments;
    if (timed) command.insert(command.begin(), {"/usr/bin/time", "-f", "glyra-bench-peak-kb %M"});
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(errors[1]);
    if (spawned != 0) {
        close(errors[0]);
        return outcome;
    }
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
    const size_t at = outcome.errors.rfind("glyra-bench-peak-kb ");
    if (at != std::string::npos) {
        outcome.peakMegabytes = std::atof(outcome.errors.c_str() + at + 20) / 1024.0;
        outcome.errors.erase(at);
    }
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
