// Printing through the system's real print server: the PDF queue of CUPS writes what it
// receives as PDF files, which are read back as text. Skipped where no such queue exists.

#include "basedatos.h"
#include "global.h"
#include "impresoraactual.h"
#include "kv740.h"
#include "listado.h"
#include "mnuimp.h"
#include "printxt.h"
#include "vistaprevia.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kCola = QStringLiteral("PDF");

// Where the PDF queue may write: QUENZA_CUPS_PDF_DIR, the "Out" of cups-pdf.conf, and its
// usual folders.
QStringList CarpetasSalida()
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

// PDF files written after `desde`, read as text, waiting up to two minutes for `cuantos`.
QStringList PdfsNuevos(const QDateTime& desde, int cuantos)
{
    QElapsedTimer reloj;
    reloj.start();
    QStringList textos;
    while (reloj.elapsed() < 120000) {
        QStringList archivos;
        for (const QString& carpeta : CarpetasSalida())
            for (const QFileInfo& fi : QDir(carpeta).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
                if (fi.lastModified() >= desde && fi.size() > 0)
                    archivos << fi.absoluteFilePath();
        archivos.removeDuplicates();
        if (archivos.size() >= cuantos) {
            QThread::msleep(500);  // the queue may still be writing the last one
            textos.clear();
            for (const QString& a : archivos) {
                QProcess p;
                p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), a, QStringLiteral("-")});
                p.waitForFinished(30000);
                textos << QString::fromUtf8(p.readAllStandardOutput());
                QFile::remove(a);
            }
            return textos;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(200);
    }
    return textos;
}

TEST(ImpresionReal, ListingAndDeliveryNoteMaskReachThePdfQueueChosenInTheDialog)
{
    if (!QPrinterInfo::availablePrinterNames().contains(kCola))
        GTEST_SKIP() << "no CUPS queue named PDF (scripts/start-services.sh adds it)";
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";

    QTemporaryDir dir;
    Global::Reiniciar();
    Global::DirectorioPrograma = QStringLiteral(QUENZA_DATA_DIR);
    Global::RutaBaseDatos = kv740::CrearDemo(dir.path(), {});
    Global::NombreEmpresa = QStringLiteral("Pescados Ruiz");
    {
        BaseDatos bd(Global::RutaBaseDatos);
        bd.CrearTablasNuevas();
        kv740::Volumen v;
        v.clientes = 5;
        v.articulos = 20;
        v.albaranes = 12;
        v.lineasPorAlbaran = 2;
        v.facturas = 3;
        kv740::GenerarVolumen(*bd.Motor(), v);
    }
    FijarImpresoraActual(QString());

    // The user picks the PDF queue for a listing of every note.
    MnuImpA dlg;
    QString elegida;
    std::function<void()> elegir = [&] {
        if (QApplication::activeModalWidget() != &dlg) {
            QTimer::singleShot(20, elegir);
            return;
        }
        auto* lst = dlg.findChild<QComboBox*>(QStringLiteral("lstPrn"));
        lst->setCurrentIndex(lst->findText(kCola));
        elegida = lst->currentText();
        dlg.findChild<QRadioButton*>(QStringLiteral("opLis"))->click();
        dlg.findChild<QRadioButton*>(QStringLiteral("opTodo"))->click();
        dlg.findChild<QAbstractButton*>(QStringLiteral("Aceptar"))->click();
    };
    QTimer::singleShot(20, elegir);
    ASSERT_EQ(dlg.Accion(), MnuImpA::Todos) << elegida.toStdString();
    ASSERT_EQ(ImpresoraActual(), kCola);

    // cups-pdf stamps whole seconds.
    const QDateTime desde = QDateTime::currentDateTime().addSecs(-1);
    ASSERT_TRUE(ListadoAlbaranes(std::nullopt, std::nullopt, std::nullopt, 0).Accion(1));
    VistaPreviaListado* vista = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<VistaPreviaListado*>(w))
            vista = v;
    ASSERT_TRUE(vista);
    QElapsedTimer reloj;
    reloj.start();
    while (!vista->Ejecucion().Acabada() && reloj.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(vista->Imprimir());
    vista->close();

    // The delivery-note mask prints on the same current printer.
    {
        PrinTxt prn;
        ASSERT_TRUE(prn.CargaMascaras(QStringLiteral(QUENZA_DATA_DIR "/mskAlba.txt")));
        int pagina = 1;
        prn.Imprimir(0, pagina,
                     {ValorMascara(Valor(QStringLiteral("004711")), QStringLiteral("@NUMERO")),
                      ValorMascara(Valor(QStringLiteral("12/03/2024")), QStringLiteral("@FECHA")),
                      ValorMascara(Valor(QStringLiteral("1")), QStringLiteral("@PAG")),
                      ValorMascara(Valor(QStringLiteral("CLIENTE DE PRUEBA")), QStringLiteral("@NOMBRE"))});
        prn.Cerrar();
    }

    const QStringList textos = PdfsNuevos(desde, 2);
    ASSERT_GE(textos.size(), 2) << "the PDF queue wrote nothing in " << CarpetasSalida().join(QStringLiteral(", ")).toStdString();
    const QString todo = textos.join(QStringLiteral("\n"));
    EXPECT_TRUE(todo.contains(QStringLiteral("Listado de albaranes")));
    EXPECT_TRUE(todo.contains(QStringLiteral("Pescados Ruiz")));
    EXPECT_TRUE(todo.contains(QStringLiteral("Total (12 albaranes)")));
    EXPECT_TRUE(todo.contains(QStringLiteral("004711")));
    EXPECT_TRUE(todo.contains(QStringLiteral("CLIENTE DE PRUEBA")));
    FijarImpresoraActual(QString());
    Global::Reiniciar();
}

}  // namespace
