#include "oficina.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <signal.h>
#include <unistd.h>

namespace {

// Settings of the private profile: formulas are worked out again when a filled copy opens,
// since the values they read were written without the suite.
const char kAjustes[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
)";

QString CarpetaPerfil()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("perfil-libreoffice"));
}

void PrepararPerfil(const QString& carpeta)
{
    const QString ajustes = QDir(carpeta).filePath(QStringLiteral("user/registrymodifications.xcu"));
    if (QFileInfo::exists(ajustes))
        return;
    QDir().mkpath(QFileInfo(ajustes).absolutePath());
    QFile f(ajustes);
    if (f.open(QIODevice::WriteOnly))
        f.write(kAjustes);
}

} // namespace

LibreOfficeHeadless::LibreOfficeHeadless(QString programa, int segundosMaximos)
    : m_programa(std::move(programa)), m_segundos(segundosMaximos)
{
    if (m_programa.isEmpty())
        m_programa = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (m_programa.isEmpty())
        m_programa = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (!m_programa.isEmpty() && !QFileInfo(m_programa).isExecutable())
        m_programa.clear();
}

bool LibreOfficeHeadless::Ejecutar(const QStringList& argumentos, QString* error)
{
    if (m_programa.isEmpty()) {
        *error = QStringLiteral("No se encuentra LibreOffice.");
        return false;
    }
    const QString perfil = CarpetaPerfil();
    QDir().mkpath(perfil);
    // One profile can serve one suite at a time; runs from several programs take turns.
    QLockFile cerrojo(perfil + QStringLiteral(".lock"));
    cerrojo.setStaleLockTime(m_segundos * 1000 + 10000);
    if (!cerrojo.tryLock(m_segundos * 1000)) {
        *error = QStringLiteral("LibreOffice está ocupado con otra impresión.");
        return false;
    }
    PrepararPerfil(perfil);

    QProcess proceso;
    proceso.setProcessChannelMode(QProcess::MergedChannels);
    QStringList todos{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(perfil).toString(),
                      QStringLiteral("--headless"), QStringLiteral("--invisible"), QStringLiteral("--norestore"),
                      QStringLiteral("--nologo"), QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck")};
    todos += argumentos;
    // Its own process group: the launcher starts the real suite as a child, and a timeout must
    // end both.
    proceso.setChildProcessModifier([] { ::setpgid(0, 0); });
    proceso.start(m_programa, todos);
    if (!proceso.waitForStarted(30000)) {
        *error = QStringLiteral("No se puede ejecutar LibreOffice (%1).").arg(m_programa);
        return false;
    }
    // Windows keep painting while the suite works; the user's input waits, so nothing starts
    // another print in the middle of this one.
    bool terminado = false;
    {
        QEventLoop espera;
        QTimer limite;
        limite.setSingleShot(true);
        QObject::connect(&proceso, &QProcess::finished, &espera, [&] {
            terminado = true;
            espera.quit();
        });
        QObject::connect(&limite, &QTimer::timeout, &espera, &QEventLoop::quit);
        limite.start(m_segundos * 1000);
        if (proceso.state() != QProcess::NotRunning)
            espera.exec(QEventLoop::ExcludeUserInputEvents);
        else
            terminado = true;
    }
    if (!terminado) {
        const qint64 pid = proceso.processId();
        if (pid > 0)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
        proceso.kill();
        proceso.waitForFinished(5000);
        *error = QStringLiteral("LibreOffice no ha terminado en %1 segundos.").arg(m_segundos);
        return false;
    }
    if (proceso.exitStatus() != QProcess::NormalExit || proceso.exitCode() != 0) {
        *error = QStringLiteral("LibreOffice ha fallado: %1").arg(QString::fromLocal8Bit(proceso.readAll()).trimmed());
        return false;
    }
    return true;
}

QString LibreOfficeHeadless::Convertir(const QString& archivo, const QString& formato, const QString& carpeta,
                                       QString* error)
{
    const QString destino = QDir(carpeta).filePath(QFileInfo(archivo).completeBaseName() + QLatin1Char('.') + formato);
    QFile::remove(destino);
    if (!Ejecutar({QStringLiteral("--convert-to"), formato, QStringLiteral("--outdir"), carpeta, archivo}, error))
        return {};
    if (!QFileInfo::exists(destino)) {
        *error = QStringLiteral("LibreOffice no ha podido convertir '%1'.").arg(archivo);
        return {};
    }
    return destino;
}

bool LibreOfficeHeadless::Imprimir(const QString& archivo, const QString& impresora, const QString& pdf,
                                   QString* error)
{
    if (pdf.isEmpty()) {
        if (impresora.isEmpty())
            return Ejecutar({QStringLiteral("-p"), archivo}, error);
        return Ejecutar({QStringLiteral("--pt"), impresora, archivo}, error);
    }
    const QFileInfo info(archivo);
    const QString hecho = Convertir(archivo, QStringLiteral("pdf"), info.absolutePath(), error);
    if (hecho.isEmpty())
        return false;
    QFile::remove(pdf);
    if (!QFile::rename(hecho, pdf) && !(QFile::copy(hecho, pdf) && QFile::remove(hecho))) {
        *error = QStringLiteral("No se puede escribir el archivo '%1'.").arg(pdf);
        return false;
    }
    return true;
}
