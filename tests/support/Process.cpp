#include "support/Process.h"

#include <fstream>

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace lvtest {

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input) {
    QStringList qargs;
    for (const auto& a : args)
        qargs << QString::fromStdString(a);
    QProcess p;
    p.start(QString::fromStdString(program), qargs);
    ProcessResult r;
    if (!p.waitForStarted(10000)) {
        r.err = "cannot start " + program;
        return r;
    }
    if (!input.empty())
        p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(600000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

bool haveProgram(const std::string& program) {
    return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

} // namespace lvtest
