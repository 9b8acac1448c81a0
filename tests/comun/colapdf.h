#pragma once

// The PDF queue of CUPS (cups-pdf) as the printing tests read it: where it writes, and the
// text of the files it wrote for one test. Tests run side by side and share the queue, so
// each one takes only the files whose text it recognises.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

inline const QString kColaPdf = QStringLiteral("PDF");

// Why the queue cannot be used here, or empty when it can.
inline QString ColaPdfNoDisponible()
{
    if (!QPrinterInfo::availablePrinterNames().contains(kColaPdf))
        return QStringLiteral("no CUPS queue named PDF (scripts/start-services.sh adds it)");
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return QStringLiteral("pdftotext is not installed");
    return {};
}

// Where the PDF queue may write: QUENZA_CUPS_PDF_DIR, the "Out" of cups-pdf.conf, and its
// usual folders.
inline QStringList CarpetasColaPdf()
{
    const passwd* pw = getpwuid(getuid());
    const QString casa = pw ? QString::fromLocal8Bit(pw->pw_dir) : QDir::homePath();
    const QString usuario = pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
    QStringList carpetas;
    if (qEnvironmentVariableIsSet("QUENZA_CUPS_PDF_DIR"))
        carpetas << qEnvironmentVariable("QUENZA_CUPS_PDF_DIR");
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QString& linea : QString::fromUtf8(conf.readAll()).split(QLatin1Char('\n'))) {
            if (linea.startsWith(QLatin1String("Out "))) {
                QString out = linea.mid(4).trimmed();
                out.replace(QLatin1String("${HOME}"), casa).replace(QLatin1String("${USER}"), usuario);
                carpetas << out;
            }
        }
    }
    carpetas << casa + QStringLiteral("/PDF") << QStringLiteral("/var/spool/cups-pdf/") + usuario
             << QStringLiteral("/var/spool/cups-pdf/ANONYMOUS");
    return carpetas;
}

inline QString TextoPdf(const QString& archivo)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), archivo, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of the PDF files written after `desde` that contain one of `marcas`, waiting up
// to `ms` for `cuantos` of them. The files taken are removed; the others stay for their tests.
inline QStringList PdfsNuevos(const QDateTime& desde, int cuantos, const QStringList& marcas, int ms = 120000)
{
    QElapsedTimer reloj;
    reloj.start();
    QStringList textos;
    QStringList vistos;
    while (reloj.elapsed() < ms) {
        for (const QString& carpeta : CarpetasColaPdf())
            for (const QFileInfo& fi : QDir(carpeta).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files)) {
                const QString ruta = fi.absoluteFilePath();
                if (fi.lastModified() < desde || fi.size() == 0 || vistos.contains(ruta))
                    continue;
                QThread::msleep(300);  // the queue may still be writing it
                const QString texto = TextoPdf(ruta);
                if (texto.isEmpty())
                    continue;  // not complete yet: read again on the next round
                vistos << ruta;
                for (const QString& marca : marcas)
                    if (texto.contains(marca)) {
                        textos << texto;
                        QFile::remove(ruta);
                        break;
                    }
            }
        if (textos.size() >= cuantos)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(200);
    }
    return textos;
}
