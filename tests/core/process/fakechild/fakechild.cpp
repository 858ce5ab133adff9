// A stand-in child process for the command executor's tests. The first
// argument selects a scenario; each writes with unbuffered write(2), so the
// test controls where pipe reads can split the output:
//   interleave N, exit N, split-utf8 (U+2713 cut by a pause), truncated (ends
//   inside a character), flood BYTES (63-character lines in 64 KiB writes),
//   print-env NAME... ("NAME=value" or "NAME unset"), read-stdin (to its end),
//   tree DEPTH [ignore-term] (prints "pid P", starts "tree DEPTH-1", waits
//   forever), leave DEPTH [ignore-term] (starts a tree, exits 0 once it has
//   printed, leaving it running), --platform ... (as the runner is called:
//   every argument as an "[arg]" line).
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void put(int fd, const std::string &text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            std::exit(120);
        done += size_t(n);
    }
}

void out(const std::string &text)
{
    put(1, text);
}

void sleepMs(int ms)
{
    ::usleep(useconds_t(ms) * 1000);
}

// Starts this program again as "tree DEPTH [ignore-term]".
void startTree(const char *self, const char *depth, bool ignoreTerm)
{
    if (::fork() != 0)
        return;
    ::execl(self, self, "tree", depth, ignoreTerm ? "ignore-term" : static_cast<char *>(nullptr), static_cast<char *>(nullptr));
    std::_Exit(121);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        put(2, "usage: fakechild <scenario> [arguments]\n");
        return 2;
    }
    const std::string scenario = argv[1];
    const int number = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool ignoreTerm = argc > 3 && std::strcmp(argv[3], "ignore-term") == 0;

    if (scenario == "interleave") {
        for (int i = 1; i <= number; ++i) {
            out("out " + std::to_string(i) + "\n");
            sleepMs(30);
            put(2, "err " + std::to_string(i) + "\n");
            sleepMs(30);
        }
    } else if (scenario == "exit") {
        out("exiting " + std::to_string(number) + "\n");
        return number;
    } else if (scenario == "split-utf8") {
        out("a\xE2\x9C");
        sleepMs(300);
        out("\x93 b\n");
    } else if (scenario == "truncated") {
        out("cut \xE2\x9C");
    } else if (scenario == "flood") {
        long remaining = argc > 2 ? std::atol(argv[2]) : 1 << 20;
        std::string block;
        while (block.size() < 65536)
            block += std::string(63, 'x') + "\n";
        for (; remaining > 0; remaining -= long(block.size()))
            out(block.substr(0, size_t(std::min<long>(remaining, long(block.size())))));
    } else if (scenario == "print-env") {
        for (int i = 2; i < argc; ++i) {
            const char *value = std::getenv(argv[i]);
            out(std::string(argv[i]) + (value ? "=" + std::string(value) : std::string(" unset")) + "\n");
        }
    } else if (scenario == "read-stdin") {
        char buffer[256];
        while (::read(0, buffer, sizeof buffer) > 0) { }
        out("stdin closed\n");
    } else if (scenario == "tree") {
        if (ignoreTerm)
            std::signal(SIGTERM, SIG_IGN);
        out("pid " + std::to_string(::getpid()) + "\n");
        if (number > 1)
            startTree(argv[0], std::to_string(number - 1).c_str(), ignoreTerm);
        for (;;)
            ::pause();
    } else if (scenario == "leave") {
        startTree(argv[0], argv[2], ignoreTerm);
        sleepMs(300);
    } else if (scenario == "--platform") {
        for (int i = 1; i < argc; ++i)
            out("[" + std::string(argv[i]) + "]\n");
    } else {
        put(2, "fakechild: unknown scenario " + scenario + "\n");
        return 2;
    }
    return 0;
}
