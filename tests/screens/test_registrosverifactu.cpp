// "Registros VERI*FACTU": the records with the agency's answers, their filters, Reenviar,
// Verificar cadena and Exportar; 100,000 records open about as fast as the store reads them.

#include "pantallas_prueba.h"
#include "factura.h"
#include "registrosverifactu.h"
#include "ventanas.h"
#include "verifactu.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTableView>

#include <algorithm>

namespace {

class Registros : public PantallasDePrueba {
protected:
    void SetUp() override
    {
        PantallasDePrueba::SetUp();
        Global::BD->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), QStringLiteral("1"), {}, true});
    }
    // `n` made-up records straight into the table (the window does not check their chain):
    // every 100th pending, every 250th (not pending) rejected, every 333rd accepted with errors.
    void registros(int n)
    {
        m().ejecutarNativo(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO RegistroFacturacion (Orden, Tipo, Serie, Numero, Dia, IDEmisorFactura, NumSerieFactura, FechaExpedicionFactura, "
            "TipoFactura, CuotaTotal, ImporteTotal, FechaHoraHusoGenRegistro, TipoHuella, Huella, XML, EstadoEnvio, CodigoErrorRegistro, "
            "DescripcionErrorRegistro, CSV) "
            "SELECT i, 'A', 0, i, '2027-01-04', 'B12345674', 'A-' || substr('00000' || i, length('00000' || i) - 5), '04-01-2027', "
            "'F2', 100, 1100 + i, '2027-01-04T10:00:00+01:00', '01', %1, '<x/>', "
            "CASE WHEN i % 100 = 0 THEN 'Pendiente' WHEN i % 250 = 0 THEN 'Incorrecto' WHEN i % 333 = 0 THEN 'AceptadoConErrores' "
            "ELSE 'Correcto' END, CASE WHEN i % 250 = 0 AND i % 100 <> 0 THEN '1100' END, "
            "CASE WHEN i % 250 = 0 AND i % 100 <> 0 THEN 'Valor o tipo incorrecto del campo.' END, "
            "CASE WHEN i % 100 <> 0 THEN 'A-CSVDEPRUEBA01' END FROM n")
                               .arg(m().esPostgreSQL() ? QStringLiteral("md5(random()::text) || md5(random()::text)")
                                                       : QStringLiteral("hex(randomblob(32))")),
            {n});
    }
};

TEST_F(Registros, AHundredThousandOpenAboutAsFastAsTheStoreReadsThem)
{
    registros(100000);
    // The best of three of each, so that a busy machine's hiccup weighs on neither.
    qint64 lectura = std::numeric_limits<qint64>::max(), ventana = lectura;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const size_t filas = Global::BD->ListaRegistros().size();
        lectura = std::min(lectura, t.elapsed());
        ASSERT_EQ(filas, 100000u);
        t.restart();
        auto* w = new RegistrosVerifactu(*Global::BD, {});
        MostrarVentana(w);
        QApplication::processEvents();
        ventana = std::min(ventana, t.elapsed());
        EXPECT_EQ(w->Modelo()->rowCount(), 100000);
        w->close();
        QApplication::processEvents();
    }
    EXPECT_LE(ventana, lectura * 3 / 2 + 30) << "store " << lectura << " ms, window " << ventana << " ms";
    RecordProperty("lectura_ms", std::to_string(lectura));
    RecordProperty("ventana_ms", std::to_string(ventana));
}

TEST_F(Registros, FiltersShowThePendingAndThoseWithErrors)
{
    registros(1000);
    auto* w = new RegistrosVerifactu(*Global::BD, {});
    MostrarVentana(w);
    EXPECT_EQ(w->Modelo()->rowCount(), 1000);
    EXPECT_TRUE(w->lbResumen->text().startsWith(QStringLiteral("Pendientes: 10. Rechazados: 2. Aceptados con errores: 3."))) << w->lbResumen->text().toStdString();
    QTest::mouseClick(w->chPendientes, Qt::LeftButton);
    ASSERT_EQ(w->Modelo()->rowCount(), 10);
    EXPECT_EQ(w->Modelo()->index(0, ModeloRegistros::colFactura).data().toString(), QStringLiteral("A-000100"));
    EXPECT_EQ(w->Modelo()->index(0, ModeloRegistros::colEstado).data().toString(), QStringLiteral("Pendiente"));
    QTest::mouseClick(w->chErrores, Qt::LeftButton);
    EXPECT_FALSE(w->chPendientes->isChecked());
    ASSERT_EQ(w->Modelo()->rowCount(), 5);  // 250, 333, 666, 750 and 999
    EXPECT_EQ(w->Modelo()->index(0, ModeloRegistros::colEstado).data().toString(), QStringLiteral("Rechazado"));
    EXPECT_EQ(w->Modelo()->index(0, ModeloRegistros::colRespuesta).data().toString(), QStringLiteral("1100: Valor o tipo incorrecto del campo."));
    EXPECT_EQ(w->Modelo()->index(1, ModeloRegistros::colEstado).data().toString(), QStringLiteral("Aceptado con errores"));
    QTest::mouseClick(w->chErrores, Qt::LeftButton);
    EXPECT_EQ(w->Modelo()->rowCount(), 1000);
    EXPECT_EQ(w->Modelo()->index(0, ModeloRegistros::colImporte).data().toString(), QStringLiteral("11,01"));
}

TEST_F(Registros, ReenviarCorrectsARejectedInvoiceAndWakesTheSender)
{
    cliente(1, QStringLiteral("BAR CENTRAL"));
    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI());
    f.Fecha = QDate(2027, 1, 4);
    ASSERT_TRUE(f.SetCliente(1));
    LineaFactura* l = f.NuevaLinea();
    l->FijarConcepto(QStringLiteral("Género"));
    l->FijarImporte(10);
    l->FijarpIVA(10);
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    m().ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET EstadoEnvio='Incorrecto', CodigoErrorRegistro='1100' WHERE Orden=1"));
    int despertado = 0;
    auto* w = new RegistrosVerifactu(*Global::BD, [&despertado] { ++despertado; });
    MostrarVentana(w);
    // Nothing chosen: it says so.
    contestador->Ok();
    w->Reenviar();
    w->grRegistros->setCurrentIndex(w->Modelo()->index(0, 0));
    contestador->Ok();
    w->Reenviar();
    EXPECT_EQ(despertado, 1);
    ASSERT_EQ(w->Modelo()->rowCount(), 2);
    EXPECT_EQ(w->Modelo()->index(0, ModeloRegistros::colEstado).data().toString(), QStringLiteral("Rechazado, subsanado"));
    EXPECT_EQ(w->Modelo()->index(1, ModeloRegistros::colTipo).data().toString(), QStringLiteral("Alta F1 (subsanación)"));
    EXPECT_EQ(w->Modelo()->index(1, ModeloRegistros::colEstado).data().toString(), QStringLiteral("Pendiente"));
    // Once is enough.
    w->grRegistros->setCurrentIndex(w->Modelo()->index(0, 0));
    contestador->Ok();
    w->Reenviar();
    EXPECT_EQ(w->Modelo()->rowCount(), 2);
    ASSERT_EQ(contestador->textos.size(), 3);
    EXPECT_TRUE(contestador->textos[1].contains(QStringLiteral("subsanación de la factura A-000001"))) << contestador->textos[1].toStdString();
    EXPECT_TRUE(contestador->textos[2].contains(QStringLiteral("registro posterior"))) << contestador->textos[2].toStdString();

    // The chain holds; the export writes the period.
    contestador->Ok();
    w->Verificar();
    EXPECT_TRUE(contestador->textos.back().contains(QStringLiteral("íntegra"))) << contestador->textos.back().toStdString();
    const QString archivo = base->dir() + QStringLiteral("/registros.xml");
    w->txDesde->setDate(QDate::currentDate().addDays(-1));
    w->txHasta->setDate(QDate::currentDate());
    contestador->Ok();
    w->Exportar(archivo);
    EXPECT_TRUE(QFile::exists(archivo)) << contestador->textos.back().toStdString();
}

}  // namespace
