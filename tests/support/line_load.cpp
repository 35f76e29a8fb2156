#include "line_load.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <memory>

QString LineLoad::StationFolder(int station) const {
    return QDir(folder).filePath(QString("station-%1").arg(station, 2, 10, QChar('0')));
}

bool LineLoad::Run(const std::function<void()>& whileRunning, QString& error) {
    std::vector<std::unique_ptr<QProcess>> running;
    for (int s = 0; s < stations; ++s) {
        const QString dir = StationFolder(s);
        QDir().mkpath(dir);
        QFile serials(dir + "/serials.txt");
        if (!serials.open(QIODevice::WriteOnly)) {
            error = serials.errorString();
            return false;
        }
        for (int p = 0; p < phones; ++p)
            serials.write(
                QString("S%1-%2\n").arg(s, 2, 10, QChar('0')).arg(p, 4, 10, QChar('0')).toUtf8());
        serials.close();
        auto process = std::make_unique<QProcess>();
        process->setStandardInputFile(serials.fileName());
        process->setStandardErrorFile(dir + "/btrun.log");
        process->setStandardOutputFile(QProcess::nullDevice());
        process->start(btrun, QStringList{s < stations / 2 ? provisioningPlan : plan, "--loop",
                                          "--quiet", "--station", QFileInfo(dir).fileName(),
                                          "--out", dir, "--db", db} +
                                  extraArgs);
        if (!process->waitForStarted(10000)) {
            error = "station " + QString::number(s) + ": " + process->errorString();
            return false;
        }
        running.push_back(std::move(process));
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        bool any = false;
        for (auto& p : running)
            any = any || p->state() != QProcess::NotRunning;
        if (!any) break;
        if (clock.elapsed() > 15 * 60 * 1000) {
            error = "stations still running after 15 minutes";
            for (auto& p : running)
                p->kill();
            return false;
        }
        QThread::msleep(50);
        for (auto& p : running)
            p->waitForFinished(0);
        if (whileRunning) whileRunning();
    }
    exits.clear();
    logs.clear();
    for (int s = 0; s < stations; ++s) {
        const QProcess& p = *running[static_cast<std::size_t>(s)];
        exits.push_back(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1);
        QFile log(StationFolder(s) + "/btrun.log");
        logs.push_back(log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll())
                                                     : QString());
    }
    return true;
}
