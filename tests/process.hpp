// SPDX-License-Identifier: MIT
// Child processes for the end-to-end tests.
#ifndef PREFIXDB_TESTS_PROCESS_HPP
#define PREFIXDB_TESTS_PROCESS_HPP

#include <string>
#include <string_view>
#include <vector>

namespace prefixdb::test {

enum class Output {
    pipe,        // captured separately into Result::out
    closed,      // the descriptor is not open at all
    file,        // redirected to Launch::output_path
    shared_file, // standard output and standard error both go to Launch::output_path
    terminal,    // both on a pseudo-terminal, captured together into Result::out
};

struct Launch {
    std::string program;                  // the file that is executed
    std::vector<std::string> argv;        // every word, argv[0] included; empty means argc 0
    std::string directory;                // working directory; empty keeps the current one
    std::vector<std::string> environment; // replaces the environment where not empty
    Output output = Output::pipe;
    std::string output_path;
    bool unprivileged = false; // run as nobody when started as root
    bool without_proc = false; // run with an empty /proc in a private mount namespace
};

struct Result {
    std::string out;
    std::string err;
    int status; // the exit status, or 128 plus the number of the signal that ended it
};

Result run(const Launch& launch);

// Whether this process may create mount namespaces (it runs as root).
bool privileged();

} // namespace prefixdb::test

#endif
