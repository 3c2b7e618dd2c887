#include "platform/crash_reporter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cxxabi.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {
constexpr int kMaxFrames = 64;
char g_folder[1024];
char g_version[64];
char g_altStack[64 * 1024];
std::terminate_handler g_previousTerminate = nullptr;
volatile sig_atomic_t g_inHandler = 0;

const char kPendingName[] = "pending";

// --- async-signal-safe helpers ---
size_t safeLen(const char* s)
{
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}
void safeWrite(int fd, const char* s)
{
    size_t n = safeLen(s);
    while (n > 0) {
        ssize_t w = ::write(fd, s, n);
        if (w <= 0)
            return;
        s += w;
        n -= size_t(w);
    }
}
char* appendStr(char* p, char* end, const char* s)
{
    while (*s && p < end - 1)
        *p++ = *s++;
    *p = 0;
    return p;
}
char* appendNum(char* p, char* end, long v, int width)
{
    char buf[24];
    int n = 0;
    bool neg = v < 0;
    unsigned long u = neg ? 0UL - (unsigned long)v : (unsigned long)v;
    do {
        buf[n++] = char('0' + u % 10);
        u /= 10;
    } while (u && n < 22);
    while (n < width && n < 22)
        buf[n++] = '0';
    if (neg && p < end - 1)
        *p++ = '-';
    while (n > 0 && p < end - 1)
        *p++ = buf[--n];
    *p = 0;
    return p;
}

// "crash-YYYYMMDD-HHMMSS-PID.txt" from the UTC time: gmtime_r is not on the safe list, so
// the calendar is worked out by hand.
void reportName(char* out, size_t size, time_t t)
{
    long days = long(t / 86400);
    long secs = long(t % 86400);
    // civil-from-days (proleptic Gregorian)
    long z = days + 719468;
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    long d = doy - (153 * mp + 2) / 5 + 1;
    long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    char* p = out;
    char* end = out + size;
    p = appendStr(p, end, "crash-");
    p = appendNum(p, end, y, 4);
    p = appendNum(p, end, m, 2);
    p = appendNum(p, end, d, 2);
    p = appendStr(p, end, "-");
    p = appendNum(p, end, secs / 3600, 2);
    p = appendNum(p, end, secs / 60 % 60, 2);
    p = appendNum(p, end, secs % 60, 2);
    p = appendStr(p, end, "-");
    p = appendNum(p, end, long(getpid()), 1);
    appendStr(p, end, ".txt");
}

// Opens a new report file and records it as pending; returns the descriptor or -1.
int openReport(char* path, size_t size)
{
    if (!g_folder[0])
        return -1;
    char name[96];
    reportName(name, sizeof name, time(nullptr));
    char* p = path;
    p = appendStr(p, path + size, g_folder);
    p = appendStr(p, path + size, "/");
    appendStr(p, path + size, name);
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    char pending[1200];
    char* q = appendStr(pending, pending + sizeof pending, g_folder);
    q = appendStr(q, pending + sizeof pending, "/");
    appendStr(q, pending + sizeof pending, kPendingName);
    int pfd = ::open(pending, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (pfd >= 0) {
        safeWrite(pfd, path);
        ::close(pfd);
    }
    return fd;
}

void writeHeader(int fd, const char* failure)
{
    char line[128];
    char* p = appendStr(line, line + sizeof line, "Time (UTC seconds since 1970): ");
    p = appendNum(p, line + sizeof line, long(time(nullptr)), 1);
    appendStr(p, line + sizeof line, "\n");
    safeWrite(fd, "Medrova crash report\n");
    safeWrite(fd, line);
    safeWrite(fd, "Program version: ");
    safeWrite(fd, g_version);
    safeWrite(fd, "\nFailure: ");
    safeWrite(fd, failure);
    safeWrite(fd, "\n\nCall stack:\n");
}

const char* signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "signal SIGSEGV (invalid memory access)";
    case SIGABRT: return "signal SIGABRT (abort)";
    case SIGBUS: return "signal SIGBUS (bus error)";
    case SIGFPE: return "signal SIGFPE (arithmetic error)";
    case SIGILL: return "signal SIGILL (illegal instruction)";
    default: return "fatal signal";
    }
}

void onSignal(int sig)
{
    if (!g_inHandler) {
        g_inHandler = 1;
        char path[1200];
        int fd = openReport(path, sizeof path);
        if (fd >= 0) {
            writeHeader(fd, signalName(sig));
            void* frames[kMaxFrames];
            int n = backtrace(frames, kMaxFrames);
            backtrace_symbols_fd(frames, n, fd);
            ::close(fd);
        }
    }
    // Let the default action end the process (and produce a core file where enabled).
    signal(sig, SIG_DFL);
    raise(sig);
}

QString demangledStack()
{
    void* frames[kMaxFrames];
    const int n = backtrace(frames, kMaxFrames);
    std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames, n), &std::free);
    QString out;
    for (int i = 0; i < n; ++i) {
        QString line = symbols ? QString::fromLocal8Bit(symbols.get()[i]) : QStringLiteral("?");
        // "binary(mangled+0x1f) [0x...]" -> demangle the part inside the parentheses
        const qsizetype open = line.indexOf(QLatin1Char('('));
        const qsizetype plus = line.indexOf(QLatin1Char('+'), open);
        if (open >= 0 && plus > open + 1) {
            const QByteArray mangled = line.mid(open + 1, plus - open - 1).toLatin1();
            int status = 0;
            std::unique_ptr<char, decltype(&std::free)> dem(
                abi::__cxa_demangle(mangled.constData(), nullptr, nullptr, &status), &std::free);
            if (status == 0 && dem)
                line = line.left(open + 1) + QString::fromLatin1(dem.get()) + line.mid(plus);
        }
        out += line + QLatin1Char('\n');
    }
    return out;
}

void onTerminate()
{
    QString failure = QStringLiteral("std::terminate called");
    if (std::exception_ptr ep = std::current_exception()) {
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            failure += QStringLiteral(" after an uncaught exception: ") + QString::fromUtf8(e.what());
        } catch (...) {
            failure += QStringLiteral(" after an uncaught exception of unknown type");
        }
    }
    CrashReporter::writeReport(failure);
    // The report is written; the abort that follows must not write a second one.
    g_inHandler = 1;
    std::abort();
}
} // namespace

namespace CrashReporter {

void install(const QString& folder, const QString& version)
{
    QDir().mkpath(folder);
    const QByteArray f = QFile::encodeName(QDir::cleanPath(folder));
    std::strncpy(g_folder, f.constData(), sizeof g_folder - 1);
    std::strncpy(g_version, version.toUtf8().constData(), sizeof g_version - 1);

    // backtrace() loads libgcc on its first call, which allocates: do it now, not in a handler.
    void* warm[2];
    backtrace(warm, 2);

    stack_t ss{};
    ss.ss_sp = g_altStack;
    ss.ss_size = sizeof g_altStack;
    sigaltstack(&ss, nullptr);

    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_ONSTACK;
    for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        sigaction(sig, &sa, nullptr);

    g_previousTerminate = std::set_terminate(onTerminate);
}

QString writeReport(const QString& failure)
{
    char path[1200];
    const int fd = openReport(path, sizeof path);
    if (fd < 0)
        return QString();
    QByteArray text;
    text += "Medrova crash report\n";
    text += "Time: " + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n";
    text += QByteArray("Program version: ") + g_version + "\n";
    text += "Failure: " + failure.toUtf8() + "\n\nCall stack:\n";
    text += demangledStack().toUtf8();
    const char* p = text.constData();
    qsizetype left = text.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, p, size_t(left));
        if (w <= 0)
            break;
        p += w;
        left -= w;
    }
    ::close(fd);
    return QFile::decodeName(path);
}

QString takePendingReport()
{
    if (!g_folder[0])
        return QString();
    const QString pending = QFile::decodeName(g_folder) + QLatin1Char('/') + QLatin1String(kPendingName);
    QFile f(pending);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QString report = QFile::decodeName(f.readAll().trimmed());
    f.close();
    QFile::remove(pending);
    return report;
}

} // namespace CrashReporter
