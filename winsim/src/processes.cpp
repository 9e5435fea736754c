// The table of programs the simulated PC can run, and the start log.
#include "winsim/processes.h"

#include "winsim/file_system.h"

namespace winsim {

namespace {

// A file that looks like a Windows program to anything that reads it: the
// "MZ" signature of an executable image, and nothing that would run.
const char kImagePlaceholder[] = "MZ winsim program image";

std::string keyOf(const std::string& path) { return upperName(path); }

}  // namespace

Processes::Processes(FileSystem& files) : files_(files) { install(kPnpUtilPath, runPnpUtil); }

void Processes::install(const std::string& path, ProgramBehaviour behaviour) {
    files_.writeFile(path, kImagePlaceholder);
    setBehaviour(path, std::move(behaviour));
}

void Processes::setBehaviour(const std::string& path, ProgramBehaviour behaviour) {
    // Registered under the canonical form the file system gives the path,
    // so that any spelling of it that resolves to the file finds it.
    const FileSystem::Resolved r = files_.resolve(path);
    behaviours_[r.syntaxError ? keyOf(path) : r.key] = std::move(behaviour);
}

void Processes::forget(const std::string& path) {
    const FileSystem::Resolved r = files_.resolve(path);
    behaviours_.erase(r.syntaxError ? keyOf(path) : r.key);
}

const ProgramBehaviour* Processes::behaviourOf(const std::string& canonicalPath) const {
    auto it = behaviours_.find(keyOf(canonicalPath));
    return it == behaviours_.end() ? nullptr : &it->second;
}

std::vector<ProcessStart> Processes::runsOf(const std::string& path) const {
    const FileSystem::Resolved r = files_.resolve(path);
    const std::string key = r.syntaxError ? keyOf(path) : r.key;
    std::vector<ProcessStart> runs;
    for (const ProcessStart& start : starts)
        if (!start.image.empty() && keyOf(start.image) == key) runs.push_back(start);
    return runs;
}

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = commandLine.size();
    while (true) {
        while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || (commandLine[i] != ' ' && commandLine[i] != '\t'))) {
            if (commandLine[i] == '\\') {
                size_t slashes = 0;
                while (i < n && commandLine[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                // 2n backslashes before a quote give n and the quote
                // delimits; 2n+1 give n and a literal quote.
                if (i < n && commandLine[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (commandLine[i] == '"') {
                // A doubled quote inside a quoted part is a literal quote.
                if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += commandLine[i++];
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace winsim
