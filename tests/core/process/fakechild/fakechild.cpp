// A stand-in child process for the command executor's tests. The first
// argument selects a scenario; each one writes with unbuffered write(2) so
// that the test controls where pipe reads can split the output.
//
//   interleave N          "out i" on stdout and "err i" on stderr, N times
//   exit N                prints "exiting N", exits with status N
//   split-utf8            "a" and the first two bytes of U+2713, a pause,
//                         then its last byte and " b"
//   invalid               text with two bytes that are not UTF-8 inside
//   truncated             text that ends in the middle of a character
//   flood BYTES           BYTES bytes of 63-character lines, in 64 KiB writes
//   print-env NAME...     "NAME=value" or "NAME unset" per name
//   pwd                   the working directory
//   read-stdin            reads standard input to its end, then says so
//   pgid                  "pid P pgid G"
//   tree DEPTH [ignore-term]
//                         prints "pid P", starts itself with DEPTH-1 and
//                         waits forever; the last level only waits. With
//                         ignore-term every level ignores SIGTERM.
//   leave DEPTH [ignore-term]
//                         starts "tree DEPTH", waits until it printed its
//                         pids, then exits 0 and leaves that tree running
//   hang                  waits forever
//   --platform ...        called the way the runner is: prints every
//                         argument, "--platform" included, as "[arg]" lines
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void put(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            std::exit(120);
        done += size_t(n);
    }
}

void out(const std::string &text) { put(1, text); }

void sleepMs(int ms) { ::usleep(useconds_t(ms) * 1000); }

[[noreturn]] void waitForever()
{
    for (;;)
        ::pause();
}

int tree(const char *self, int depth, bool ignoreTerm)
{
    if (ignoreTerm)
        std::signal(SIGTERM, SIG_IGN);
    out("pid " + std::to_string(::getpid()) + "\n");
    if (depth > 1) {
        const pid_t child = ::fork();
        if (child == 0) {
            const std::string next = std::to_string(depth - 1);
            if (ignoreTerm)
                ::execl(self, self, "tree", next.c_str(), "ignore-term", static_cast<char *>(nullptr));
            else
                ::execl(self, self, "tree", next.c_str(), static_cast<char *>(nullptr));
            std::_Exit(121);
        }
    }
    waitForever();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        put(2, "usage: fakechild <scenario> [arguments]\n");
        return 2;
    }
    const std::string scenario = argv[1];
    const auto number = [&](int index, int fallback) { return argc > index ? std::atoi(argv[index]) : fallback; };

    if (scenario == "interleave") {
        const int count = number(2, 3);
        for (int i = 1; i <= count; ++i) {
            out("out " + std::to_string(i) + "\n");
            sleepMs(30);
            put(2, "err " + std::to_string(i) + "\n");
            sleepMs(30);
        }
        return 0;
    }
    if (scenario == "exit") {
        const int status = number(2, 0);
        out("exiting " + std::to_string(status) + "\n");
        return status;
    }
    if (scenario == "split-utf8") {
        out("a\xE2\x9C");
        sleepMs(300);
        out("\x93 b\n");
        return 0;
    }
    if (scenario == "invalid") {
        out("ok \xFF\xFE end\n");
        return 0;
    }
    if (scenario == "truncated") {
        out("cut \xE2\x9C");
        return 0;
    }
    if (scenario == "flood") {
        // 63-character lines, written 64 KiB at a time.
        long remaining = argc > 2 ? std::atol(argv[2]) : 1 << 20;
        std::string block;
        while (block.size() < 65536)
            block += std::string(63, 'x') + "\n";
        while (remaining > 0) {
            const size_t size = size_t(std::min<long>(remaining, long(block.size())));
            out(block.substr(0, size));
            remaining -= long(size);
        }
        return 0;
    }
    if (scenario == "print-env") {
        for (int i = 2; i < argc; ++i) {
            const char *value = std::getenv(argv[i]);
            out(std::string(argv[i]) + (value ? "=" + std::string(value) : std::string(" unset")) + "\n");
        }
        return 0;
    }
    if (scenario == "pwd") {
        char buffer[4096];
        if (!::getcwd(buffer, sizeof buffer))
            return 3;
        out(std::string(buffer) + "\n");
        return 0;
    }
    if (scenario == "read-stdin") {
        char buffer[256];
        while (::read(0, buffer, sizeof buffer) > 0) {
        }
        out("stdin closed\n");
        return 0;
    }
    if (scenario == "pgid") {
        out("pid " + std::to_string(::getpid()) + " pgid " + std::to_string(::getpgrp()) + "\n");
        return 0;
    }
    if (scenario == "tree")
        return tree(argv[0], number(2, 3), argc > 3 && std::strcmp(argv[3], "ignore-term") == 0);
    if (scenario == "leave") {
        const pid_t child = ::fork();
        if (child == 0) {
            if (argc > 3)
                ::execl(argv[0], argv[0], "tree", argv[2], argv[3], static_cast<char *>(nullptr));
            else
                ::execl(argv[0], argv[0], "tree", argv[2], static_cast<char *>(nullptr));
            std::_Exit(121);
        }
        sleepMs(300);
        return 0;
    }
    if (scenario == "hang")
        waitForever();
    if (scenario == "--platform") {
        for (int i = 1; i < argc; ++i)
            out("[" + std::string(argv[i]) + "]\n");
        return 0;
    }

    put(2, "fakechild: unknown scenario " + scenario + "\n");
    return 2;
}
