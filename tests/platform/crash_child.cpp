// Crashes on purpose in the way its second argument names, with reports going to the folder
// its first argument names.
#include "platform/crash_reporter.h"

#include <QString>
#include <csignal>
#include <cstring>
#include <stdexcept>

extern "C" __attribute__((noinline)) void crashOnPurpose(const char* how)
{
    if (std::strcmp(how, "terminate") == 0)
        throw std::runtime_error("thrown on purpose");
    if (std::strcmp(how, "abort") == 0)
        std::raise(SIGABRT);
    std::raise(SIGSEGV);
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    CrashReporter::install(QString::fromLocal8Bit(argv[1]), QStringLiteral("test-version"));
    crashOnPurpose(argv[2]);
    return 0;
}
