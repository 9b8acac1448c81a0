// Printing through the system's real print server: the PDF queue of CUPS writes what it
// receives as PDF files, which are read back as text. Skipped where no such queue exists.

#include "basedatos.h"
#include "colapdf.h"
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
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>


namespace {

TEST(ImpresionReal, ListingAndDeliveryNoteMaskReachThePdfQueueChosenInTheDialog)
{
    if (const QString motivo = ColaPdfNoDisponible(); !motivo.isEmpty())
        GTEST_SKIP() << motivo.toStdString();

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
        lst->setCurrentIndex(lst->findText(kColaPdf));
        elegida = lst->currentText();
        dlg.findChild<QRadioButton*>(QStringLiteral("opLis"))->click();
        dlg.findChild<QRadioButton*>(QStringLiteral("opTodo"))->click();
        dlg.findChild<QAbstractButton*>(QStringLiteral("Aceptar"))->click();
    };
    QTimer::singleShot(20, elegir);
    ASSERT_EQ(dlg.Accion(), MnuImpA::Todos) << elegida.toStdString();
    ASSERT_EQ(ImpresoraActual(), kColaPdf);

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

    const QStringList textos = PdfsNuevos(desde, 2, {QStringLiteral("Pescados Ruiz"), QStringLiteral("CLIENTE DE PRUEBA")});
    ASSERT_GE(textos.size(), 2) << "the PDF queue wrote nothing in " << CarpetasColaPdf().join(QStringLiteral(", ")).toStdString();
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
