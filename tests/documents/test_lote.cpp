#include "albaran.h"
#include "albaranes.h"
#include "albaranesdeticket.h"
#include "documentos_prueba.h"
#include "verifactu.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace {

// Notes written straight into the tables, so that the batch is tested on its own.
class Lote : public DocumentosDePrueba {
protected:
    void albaran(qint32 numero, qint32 cli, const QDate& fecha, double pagado = 0, bool onLine = false, const Valor& factura = {})
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP, "
                                          "Observaciones, onLine) VALUES (?, ?, ?, 0, ?, ?, 0, '', ?)"),
                           {numero, fecha.toString(Qt::ISODate), cli, factura, pagado, onLine});
    }
    void linea(qint32 numero, qint16 linea, qint32 articulo, qint16 depto, qint32 precio, qint16 cada, qint32 cantidad,
               double descuento = 0, qint32 canStock = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, "
                                          "Cada, Cantidad, CanStock, Bultos, Envase, Comentario) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, NULL)"),
                           {numero, linea, articulo, depto, precio, descuento, cada, cantidad, canStock});
    }
    // The answers the owner gives when asked to invoice.
    struct Opciones {
        qint16 serie = 1;
        QDate fecha = QDate(2024, 3, 31);
        qint16 detalle = 1;
        bool unaPorAlbaran = false;
        bool cancelar = false;
        int pararTras = 0;  // cancel in the per-note event after this many notes (0: never)
    };
    struct Resultado {
        int antes = 0, uno = 0, despues = 0;
        qint16 cuenta = -1, facturas = -1, facturados = -1, noFacturados = -1;
        QString error;  // the batch's UltimoError
    };
    // Invoices the pending notes (only note `nota` when given) with the owner's answers `o`.
    Resultado facturar() { return facturar(Opciones{}); }
    Resultado facturar(const Opciones& o, qint32 nota = 0)
    {
        Albaranes lote(*bd);
        if (nota)
            lote.WhoAmI(nota);
        else
            lote.WhoAmI();
        return facturar(lote, o);
    }
    Resultado facturar(Albaranes& lote, const Opciones& o)
    {
        Resultado r;
        QObject::connect(&lote, &Albaranes::AntesDeFacturar, [&](qint16& cuenta, qint16& serie, QDate& fecha, qint16& detalle,
                                                                 bool& una, bool&, bool& cancelar) {
            ++r.antes;
            r.cuenta = cuenta;
            serie = o.serie;
            fecha = o.fecha;
            detalle = o.detalle;
            una = o.unaPorAlbaran;
            cancelar = o.cancelar || cuenta == 0;
        });
        QObject::connect(&lote, &Albaranes::UnoFacturado, [&](bool, bool& cancelar) {
            ++r.uno;
            cancelar = o.pararTras > 0 && r.uno >= o.pararTras;
        });
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&](qint16& f, qint16& a, qint16& n) {
            ++r.despues;
            r.facturas = f;
            r.facturados = a;
            r.noFacturados = n;
        });
        lote.Facturar();
        r.error = lote.UltimoError();
        return r;
    }
    // Pending notes 1 to `n` of customer `cli`, of one kilo of article 1 each, a day apart.
    void notas(int n, qint32 cli = 1)
    {
        for (int i = 1; i <= n; ++i) {
            albaran(i, cli, QDate(2024, 3, i));
            linea(i, 1, 1, 1, 1000, 2, 1);
        }
    }
    // Invoice number of a note, or -1 when it is not invoiced.
    qint64 facturaDe(qint32 nota)
    {
        const Valor v = m().valorUnico(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=%1").arg(nota));
        return v.esNulo() ? -1 : v.aEntero();
    }
};

TEST_F(Lote, OneInvoicePerCustomerInCustomerThenDateOrder)
{
    cliente(12, QStringLiteral("DOCE"), false, 5);
    cliente(3, QStringLiteral("TRES"));
    albaran(9, 12, QDate(2024, 3, 2));
    albaran(7, 12, QDate(2024, 3, 9));
    albaran(8, 3, QDate(2024, 3, 5));
    linea(7, 1, 1, 1, 1000, 2, 1);
    linea(8, 1, 25, 5, 110, 2, 3);
    linea(9, 1, 31, 7, 65, 2, 10);
    linea(9, 2, 1, 1, 1000, 2, 2);
    const Resultado r = facturar({.detalle = 3});
    EXPECT_EQ(r.cuenta, 3);
    EXPECT_EQ(r.facturas, 2);
    EXPECT_EQ(r.facturados, 3);
    EXPECT_EQ(r.noFacturados, 0);
    EXPECT_EQ(facturaDe(8), 1);  // customer 3 first
    EXPECT_EQ(facturaDe(9), 2);
    EXPECT_EQ(facturaDe(7), 2);
    EXPECT_EQ(uno(QStringLiteral("select Cliente from FacturaVentaCabecera where Serie=1 and Numero=2")), 12);
    EXPECT_EQ(m().valorUnico(QStringLiteral("select Fecha from FacturaVentaCabecera where Serie=1 and Numero=2")).aFecha(),
              QDate(2024, 3, 31));
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Descuento from FacturaVentaCabecera where Serie=1 and Numero=2")), 5);
    // Detail 3: a title per note, then its lines; note 9 (2 March) before note 7 (9 March).
    motor::Recordset rs = m().abrirRecordset(
        QStringLiteral("select Concepto, Referencia, Cantidad from FacturaVentaDetalle where Serie=1 and Numero=2 order by Linea"));
    QStringList vistas;
    for (; !rs.eof(); rs.moveNext())
        vistas << (rs[QStringLiteral("Referencia")].esNulo() ? rs[QStringLiteral("Concepto")].aTexto()
                                                             : QString::number(rs[QStringLiteral("Referencia")].aEntero()));
    EXPECT_EQ(vistas, (QStringList{QStringLiteral("Albarán Nº9 de fecha 02/03/2024"), QStringLiteral("31"), QStringLiteral("1"),
                                   QStringLiteral("Albarán Nº7 de fecha 09/03/2024"), QStringLiteral("1")}));
}

TEST_F(Lote, WithInvoiceRecordsABackDatedBatchIsRefusedWithTheReasonAndItsNotesStayPending)
{
    bd->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), {}, {}, true});
    cliente(1, QStringLiteral("UNO"));
    cliente(2, QStringLiteral("DOS"));
    albaran(1, 1, QDate(2024, 3, 2));
    albaran(2, 2, QDate(2024, 3, 3));
    linea(1, 1, 1, 1, 1000, 2, 1);
    linea(2, 1, 1, 1, 1000, 2, 1);
    EXPECT_EQ(facturar({.fecha = QDate(2024, 3, 31)}, 1).facturas, 1);
    const Resultado r = facturar({.fecha = QDate(2024, 3, 30)});
    EXPECT_EQ(r.facturas, 0);
    EXPECT_EQ(r.noFacturados, 1);
    EXPECT_EQ(facturaDe(2), -1);
    EXPECT_TRUE(r.error.contains(QStringLiteral("es anterior a la de la factura 1 de la misma serie (31/03/2024)")))
        << r.error.toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion")), 1);
}

TEST_F(Lote, OneInvoicePerNoteAndPaidNotesNever)
{
    cliente(1, QStringLiteral("UNO"));
    notas(4);
    m().ejecutar(QStringLiteral("update AlbaranVentaCabecera set Pagado=5 where Numero=4"));  // paid on account
    const Resultado r = facturar({.unaPorAlbaran = true});
    EXPECT_EQ(r.cuenta, 3);
    EXPECT_EQ(r.facturas, 3);
    EXPECT_EQ((std::vector<qint64>{facturaDe(1), facturaDe(2), facturaDe(3), facturaDe(4)}), (std::vector<qint64>{1, 2, 3, -1}));
}

// The notes of a customer whose NIF is wrong stay pending, with the reason; the rest are invoiced.
TEST_F(Lote, ACustomerWithAWrongNifIsLeftPendingWithTheReason)
{
    cliente(1, QStringLiteral("UNO"));
    cliente(2, QStringLiteral("DOS"));
    m().ejecutarNativo(QStringLiteral("UPDATE Cliente SET NIF='12345678A' WHERE Codigo=1"));
    albaran(1, 1, QDate(2024, 3, 1));
    albaran(2, 2, QDate(2024, 3, 2));
    for (int n = 1; n <= 2; ++n)
        linea(n, 1, 1, 1, 1000, 2, 1);
    const Resultado r = facturar();
    EXPECT_EQ(r.facturas, 1);
    EXPECT_EQ(r.noFacturados, 1);
    EXPECT_EQ(facturaDe(1), -1);
    EXPECT_EQ(facturaDe(2), 1);
    EXPECT_TRUE(r.error.contains(QStringLiteral("El N.I.F. 12345678A del cliente 1 no es correcto"))) << r.error.toStdString();
}

// Prices include VAT unless it is broken down, and a scale ticket's note always includes it: on
// the invoice they become net.
TEST_F(Lote, PricesWithVatIncludedBecomeNetAndScaleTicketNotesAlwaysIncludeIt)
{
    cliente(1, QStringLiteral("UNO"));
    for (const qint32 factura : {1, 2}) {
        Global::IVADesglosado = factura == 2;
        const qint32 n = 2 * factura - 1;
        albaran(n, 1, QDate(2024, 3, 1), 0, true);  // from the scale
        albaran(n + 1, 1, QDate(2024, 3, 2));
        linea(n, 1, 31, 7, 121, 2, 1);  // AGUA, department 7: 21 %
        linea(n + 1, 1, 31, 7, 121, 2, 1);
        facturar();
        std::vector<double> precios;
        for (motor::Recordset rs = m().abrirRecordset(
                 QStringLiteral("select Precio from FacturaVentaDetalle where Serie=1 and Numero=%1 order by Linea").arg(factura));
             !rs.eof(); rs.moveNext())
            precios.push_back(rs[QStringLiteral("Precio")].aNumero());
        EXPECT_EQ(precios, (std::vector<double>{1.00, factura == 2 ? 1.21 : 1.00})) << "VAT broken down: " << (factura == 2);
    }
}

TEST_F(Lote, DetailTwoGivesOneConceptPerVatRate)
{
    Global::IVADesglosado = true;
    cliente(1, QStringLiteral("UNO"));
    albaran(7, 1, QDate(2024, 3, 1));
    linea(7, 1, 31, 7, 200, 2, 5, 10);   // 10.00 less 10 % = 9.00 at 21 %
    linea(7, 2, 32, 7, 100, 2, 1);       // 1.00 at 21 %
    linea(7, 3, 25, 5, 110, 2, 3);       // 3.30 at 4 %
    facturar({.detalle = 2});
    motor::Recordset rs = m().abrirRecordset(
        QStringLiteral("select Concepto, Importe, pIVA from FacturaVentaDetalle where Serie=1 and Numero=1 order by Linea"));
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs[QStringLiteral("Concepto")].aTexto(), QStringLiteral("Albarán Nº7 de fecha 01/03/2024  (iva 4,0%)"));
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("Importe")].aNumero(), 3.30);
    rs.moveNext();
    EXPECT_EQ(rs[QStringLiteral("Concepto")].aTexto(), QStringLiteral("Albarán Nº7 de fecha 01/03/2024  (iva 21,0%)"));
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("Importe")].aNumero(), 10.00);
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("pIVA")].aNumero(), 21);
}

// The concept naming a note fits its 50-character field whatever the note's number.
TEST_F(Lote, DetailTwoNamesNotesOfAnyNumberWithinTheConceptField)
{
    for (const qint32 n : {9999999, 10000000, 2147483647}) {
        const QString t = TextoConceptoAlbaran(n, QDate(2024, 3, 1), 21);
        EXPECT_LE(t.size(), 50) << t.toStdString();
        EXPECT_TRUE(t.contains(QString::number(n)) && t.contains(QStringLiteral("01/03/2024"))
                    && t.contains(QStringLiteral("iva 21,0%")))
            << t.toStdString();
    }
    EXPECT_EQ(TextoConceptoAlbaran(9999999, QDate(2024, 3, 1), 21), QStringLiteral("Albarán Nº9999999 de fecha 01/03/2024  (iva 21,0%)"));

    cliente(1, QStringLiteral("UNO"));
    albaran(2147483647, 1, QDate(2024, 3, 1));
    linea(2147483647, 1, 31, 7, 200, 2, 5);
    facturar({.detalle = 2});
    EXPECT_EQ(facturaDe(2147483647), 1);
}

// Departments 7 and 8 share 21 % VAT but only 7 carries surcharge: for a customer who pays it,
// each gets its own concept line with its own surcharge, not the first one's on both.
TEST_F(Lote, DetailTwoKeepsDepartmentsOfOneVatWithDifferentSurchargesApart)
{
    Global::IVADesglosado = true;
    cliente(2, QStringLiteral("CON RECARGO"), true);
    albaran(8, 2, QDate(2024, 3, 1));
    linea(8, 1, 31, 7, 200, 2, 5);  // 10.00 at 21 % + 5.2 %
    linea(8, 2, 36, 8, 300, 2, 1);  // 3.00 at 21 %, no surcharge
    facturar({.detalle = 2});
    motor::Recordset rs = m().abrirRecordset(
        QStringLiteral("select Importe, pIVA, pREq from FacturaVentaDetalle where Serie=1 and Numero=1 order by Linea"));
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("Importe")].aNumero(), 3.00);
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("pREq")].aNumero(), 0);
    rs.moveNext();
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("Importe")].aNumero(), 10.00);
    EXPECT_FLOAT_EQ(static_cast<float>(rs[QStringLiteral("pREq")].aNumero()), 5.2f);
    EXPECT_DOUBLE_EQ(bd->ListaFacturas(qint16(1)).at(0).REq, 0.52);
}

// A note of the most lines a document holds is invoiced and printed whole; with a title line
// per note it cannot fit an invoice, and the batch says why.
TEST_F(Lote, ANoteOfTheMostLinesIsInvoicedOrToldWhyNot)
{
    cliente(1, QStringLiteral("UNO"));
    cliente(2, QStringLiteral("DOS"));
    albaran(1, 1, QDate(2024, 3, 1));
    albaran(2, 2, QDate(2024, 3, 1));
    // Built in one statement: 32,767 lines of bread each.
    for (int n = 1; n <= 2; ++n)
        m().ejecutar(QStringLiteral("WITH RECURSIVE l(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM l WHERE i < 32767) "
                                    "INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, Cada, "
                                    "Cantidad, CanStock, Bultos, Envase) SELECT %1, i, 25, 5, 110, 0, 2, 1, 0, 0, 0 FROM l")
                         .arg(n));

    struct Contadora : GrabadoraMascaras {
        explicit Contadora(qint64& n) : lineas(n) {}
        ~Contadora() override
        {
            const std::vector<qint16> s = secciones();
            lineas += std::count(s.begin(), s.end(), qint16(2));
        }
        qint64& lineas;
    };
    qint64 impresas = 0;
    for (const qint16 detalle : {qint16(1), qint16(3)}) {
        Albaranes lote(*bd);
        lote.WhoAmI(detalle == 1 ? 1 : 2);
        lote.FijarImpresion([&] { return std::make_unique<Contadora>(impresas); }, QStringLiteral("/mascaras"));
        QObject::connect(&lote, &Albaranes::AntesDeFacturar,
                         [&](qint16&, qint16& serie, QDate&, qint16& d, bool&, bool& imprimir, bool&) {
                             serie = 1;
                             d = detalle;
                             imprimir = true;
                         });
        qint16 hechos = -1;
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&](qint16&, qint16& a, qint16&) { hechos = a; });
        lote.Facturar();
        if (detalle == 1) {
            EXPECT_EQ(hechos, 1) << lote.UltimoError().toStdString();
            EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=1 and Numero=1")), 32767);
            EXPECT_EQ(impresas, 32767);
        } else {
            EXPECT_EQ(hechos, 0);
            EXPECT_EQ(facturaDe(2), -1);
            EXPECT_TRUE(lote.UltimoError().contains(QStringLiteral("El albarán 2 tiene 32767 líneas"))) << lote.UltimoError().toStdString();
        }
    }
}

TEST_F(Lote, CancelBeforeChangesNothingAndCancelDuringKeepsTheInvoiceInProgress)
{
    cliente(1, QStringLiteral("UNO"));
    notas(3);
    const Resultado antes = facturar({.cancelar = true});
    EXPECT_EQ(antes.antes, 1);
    EXPECT_EQ(antes.uno, 0);
    EXPECT_EQ(antes.despues, 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);
    const Resultado r = facturar({.pararTras = 2});
    EXPECT_EQ(r.uno, 2);
    EXPECT_EQ(r.facturas, 1);
    EXPECT_EQ(r.facturados, 2);
    EXPECT_EQ((std::vector<qint64>{facturaDe(1), facturaDe(2), facturaDe(3)}), (std::vector<qint64>{1, 1, -1}));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=1 and Numero=1")), 2);
}

// A customer who pays the surcharge, on a department with VAT and no surcharge set: the owner
// is told which before anything is invoiced, and may stop.
TEST_F(Lote, ASurchargeCustomerOnADepartmentWithoutSurchargeIsWarnedFirst)
{
    cliente(1, QStringLiteral("SIN RECARGO"));
    cliente(2, QStringLiteral("CON RECARGO"), true);
    albaran(1, 1, QDate(2024, 3, 1));
    linea(1, 1, 15, 3, 289, 1, 250);
    albaran(2, 2, QDate(2024, 3, 2));
    linea(2, 1, 35, 7, 80, 2, 2);
    const auto avisos = [&](bool cancelar) {
        QStringList textos;
        Albaranes lote(*bd);
        lote.WhoAmI();
        QObject::connect(&lote, &Albaranes::AvisoRecargo, [&](const QString& texto, bool& c) {
            textos << texto;
            c = cancelar;
        });
        const Resultado r = facturar(lote, {});
        EXPECT_EQ(r.antes, cancelar ? 0 : 1);
        return textos;
    };
    // Department 7 (21 %) has its surcharge; only the customer without one uses department 3.
    ASSERT_GT(Global::IVADepartamento[3], 0.0f);
    EXPECT_TRUE(avisos(false).isEmpty());
    m().ejecutarNativo(QStringLiteral("DELETE FROM FacturaVentaDetalle"));
    m().ejecutarNativo(QStringLiteral("DELETE FROM FacturaVentaCabecera"));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET Factura=NULL"));
    Global::RecargoEquivalencia[7] = 0;
    const QStringList textos = avisos(true);
    ASSERT_EQ(textos.size(), 1);
    EXPECT_TRUE(textos[0].contains(QStringLiteral("el departamento 7 (IVA 21,0 %) no tiene recargo"))) << qPrintable(textos[0]);
    EXPECT_TRUE(textos[0].endsWith(QStringLiteral("¿SEGURO?")));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);
}

TEST_F(Lote, NothingToInvoiceAsksWithCountZero)
{
    const Resultado r = facturar();
    EXPECT_EQ(r.antes, 1);
    EXPECT_EQ(r.cuenta, 0);
    EXPECT_EQ(r.despues, 0);
}

TEST_F(Lote, DeleteSkipsInvoicedNotesAndKeepsStock)
{
    cliente(1, QStringLiteral("UNO"));
    albaran(1, 1, QDate(2024, 3, 1));
    albaran(2, 1, QDate(2024, 3, 2), 0, false, Valor(qint64(4)));
    albaran(3, 1, QDate(2024, 3, 3));
    linea(1, 1, 1, 1, 1000, 0, 500, 0, 500);
    m().ejecutarNativo(QStringLiteral("INSERT INTO MovsAlm (CODALM, Seccion, Codigo, Venta) VALUES (1, 1, 1, 500)"));
    qint16 cuentaAntes = -1, hechos = -1, fallidos = -1;
    int porNota = 0;
    Albaranes lote(*bd);
    QObject::connect(&lote, &Albaranes::AntesDeEliminar, [&](qint16& c, bool&) { cuentaAntes = c; });
    QObject::connect(&lote, &Albaranes::UnoEliminado, [&](bool, bool&) { ++porNota; });
    QObject::connect(&lote, &Albaranes::DespuesDeEliminar, [&](qint16& h, qint16& f) {
        hechos = h;
        fallidos = f;
    });
    lote.WhoAmI();
    lote.Eliminar();
    EXPECT_EQ(cuentaAntes, 2);
    EXPECT_EQ(porNota, 2);
    EXPECT_EQ(hechos, 2);
    EXPECT_EQ(fallidos, 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")), 1);
    EXPECT_EQ(vendido(1), 500);  // the stock is not given back
}

TEST_F(Lote, DiscountAndRestoreTakeTheirNotesAndCanStop)
{
    cliente(1, QStringLiteral("UNO"));
    albaran(1, 1, QDate(2024, 3, 1));
    albaran(2, 1, QDate(2024, 3, 2));
    albaran(3, 1, QDate(2024, 3, 3));
    linea(1, 1, 1, 1, 1000, 0, 500);
    linea(2, 1, 1, 1, 1000, 0, 300);
    linea(3, 1, 1, 1, 1000, 0, 200, 0, 200);  // already discounted
    qint16 cuenta = -1, hechos = -1;
    {
        Albaranes lote(*bd);
        QObject::connect(&lote, &Albaranes::AntesDeDescontar, [&](qint16& c, bool&) { cuenta = c; });
        QObject::connect(&lote, &Albaranes::UnoDescontado, [&](bool, bool& parar) { parar = true; });
        QObject::connect(&lote, &Albaranes::DespuesDeDescontar, [&](qint16& h, qint16&) { hechos = h; });
        lote.WhoAmI();
        lote.Descontar();
    }
    EXPECT_EQ(cuenta, 2);
    EXPECT_EQ(hechos, 1);  // stopped after the first note
    EXPECT_EQ(vendido(1), 500);
    {
        Albaranes lote(*bd);
        QObject::connect(&lote, &Albaranes::AntesDeRestaurar, [&](qint16& c, bool&) { cuenta = c; });
        lote.WhoAmI();
        lote.Restaurar();
    }
    EXPECT_EQ(cuenta, 2);  // notes 1 and 3 are fully discounted
    EXPECT_EQ(vendido(1), -200);
    EXPECT_EQ(uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle")), 0);
    {
        Albaranes lote(*bd);
        bool despues = false;
        QObject::connect(&lote, &Albaranes::AntesDeRestaurar, [&](qint16&, bool& cancelar) { cancelar = true; });
        QObject::connect(&lote, &Albaranes::DespuesDeRestaurar, [&](qint16&, qint16&) { despues = true; });
        lote.WhoAmI(qint32(2));
        lote.Restaurar();
        EXPECT_FALSE(despues);
    }
}

TEST_F(Lote, ScaleTicketBecomesANewNoteWithItsQuantitiesAndPrices)
{
    m().ejecutar(QStringLiteral("delete from Transacs"));
    auto fila = [&](qint32 linea, qint16 tipo, const Valor& plu, const Valor& canti, const Valor& preci) {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, "
                                          "canti, preci) VALUES (5, 0, 105, 1, 1, '2024-03-01 10:00:00', ?, 0, ?, ?, ?, ?)"),
                           {tipo, linea, plu, canti, preci});
    };
    fila(1, 1, 1, 1500, 1250);       // TERNERA FILETES, 1500 g at 12.50
    fila(2, 1, 1, 700, 1250);
    fila(3, 8, 1, Valor(), Valor());  // voids the first
    fila(4, 2, 99999, 2, 300);       // not in the catalogue: still a line
    fila(5, 15, Valor(), Valor(), Valor());
    const qint32 siguiente = bd->NuevoNumeroAlbaran();
    std::unique_ptr<Albaran> albaran = AlbaranOnLine(*bd, 5);
    ASSERT_NE(albaran, nullptr);
    EXPECT_TRUE(albaran->OnLine());
    EXPECT_EQ(albaran->Numero, siguiente);
    ASSERT_EQ(albaran->NumeroLineas(), 2);
    EXPECT_EQ(albaran->Linea(1)->Codigo(), 1);
    EXPECT_EQ(albaran->Linea(1)->CantidadGramos(), 700);
    EXPECT_DOUBLE_EQ(albaran->Linea(1)->Precio(), 12.50);
    EXPECT_EQ(albaran->Linea(2)->CantidadGramos(), 2);
    EXPECT_DOUBLE_EQ(albaran->Linea(2)->Precio(), 3.00);
    EXPECT_FALSE(albaran->Cliente().has_value());
    EXPECT_EQ(AlbaranOnLine(*bd, 404), nullptr);
}

// --- Killed in the middle of invoicing --------------------------------------------------------

// Run by the crash test in a child process: invoices every pending note of the database named
// in QUENZA_LOTE_BD, discounting the stock of every other note first.
TEST(LoteHijo, FacturarHastaQueLoMaten)
{
    const QString ruta = qEnvironmentVariable("QUENZA_LOTE_BD");
    if (ruta.isEmpty())
        GTEST_SKIP() << "only run as the crash test's child";
    BaseDatos bd(ruta);
    ASSERT_TRUE(bd.Abierta());
    bd.DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    Albaranes lote(bd);
    QObject::connect(&lote, &Albaranes::AntesDeFacturar, [](qint16&, qint16& serie, QDate&, qint16& detalle, bool&, bool&, bool&) {
        serie = 1;
        detalle = 3;
    });
    lote.WhoAmI();
    lote.Descontar();
    lote.Facturar();
}

class Choque : public Lote {};

TEST_F(Choque, KilledAnywhereTheDatabaseStaysWhole)
{
    SOLO_SQLITE("copies the database file before each kill");
    // With the invoice records on: an invoice and its record stand or fall together.
    bd->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), {}, {}, true});
    for (int c = 1; c <= 50; ++c)
        cliente(c, QStringLiteral("CLIENTE %1").arg(c));
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int n = 1; n <= 500; ++n) {
            albaran(n, 1 + n % 50, QDate(2024, 3, 1).addDays(n % 28));
            linea(n, 1, 1, 1, 1000, 0, 100 + n);
            linea(n, 2, 25, 5, 110, 2, 1 + n % 4);
        }
        t.commit();
    }
    const QString plantilla = base->ruta + QStringLiteral(".plantilla");
    m().ejecutarNativo(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    ASSERT_TRUE(QFile::copy(base->ruta, plantilla));
    const QString prueba = QFileInfo("/proc/self/exe").canonicalFilePath();
    const QString copia = base->dir() + QStringLiteral("/choque.db");

    auto lanzar = [&](QProcess& hijo) {
        QFile::remove(copia);
        QFile::remove(copia + QStringLiteral("-wal"));
        QFile::remove(copia + QStringLiteral("-shm"));
        QFile::copy(plantilla, copia);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUENZA_LOTE_BD"), copia);
        hijo.setProcessEnvironment(env);
        hijo.start(prueba, {QStringLiteral("--gtest_filter=LoteHijo.*")});
        return hijo.waitForStarted(10000);
    };

    // A whole run first, to know how long the work takes.
    QProcess completo;
    ASSERT_TRUE(lanzar(completo));
    const auto inicio = std::chrono::steady_clock::now();
    ASSERT_TRUE(completo.waitForFinished(120000));
    const int duracion = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inicio).count());
    ASSERT_EQ(completo.exitCode(), 0) << completo.readAll().constData();
    {
        motor::BaseDeDatos entera(copia);
        EXPECT_GT(entera.valorUnico(QStringLiteral("select count(*) from RegistroFacturacion")).aEntero(), 0);
        EXPECT_EQ(entera.valorUnico(QStringLiteral("select count(*) from RegistroFacturacion")).aEntero(),
                  entera.valorUnico(QStringLiteral("select count(*) from FacturaVentaCabecera")).aEntero());
    }

    QRandomGenerator azar(740);
    int interrumpidos = 0;
    for (int vuelta = 0; vuelta < 20; ++vuelta) {
        QProcess hijo;
        ASSERT_TRUE(lanzar(hijo));
        QThread::msleep(static_cast<unsigned long>(azar.bounded(std::max(duracion, 20))));
        if (hijo.state() == QProcess::Running)
            ++interrumpidos;
        hijo.kill();
        hijo.waitForFinished(10000);

        motor::BaseDeDatos resultado(copia);
        EXPECT_EQ(resultado.valorUnico(QStringLiteral("PRAGMA integrity_check")).aTexto(), QStringLiteral("ok"));
        // Every note is linked to a stored invoice that holds its lines, or not linked at all.
        EXPECT_EQ(resultado.valorUnico(QStringLiteral(
                                    "select count(*) from AlbaranVentaCabecera a where a.Factura is not null and not exists "
                                    "(select 1 from FacturaVentaDetalle d where d.Serie = a.sFac and d.Numero = a.Factura and "
                                    "d.Concepto = 'Albarán Nº' || a.Numero || ' de fecha ' || strftime('%d/%m/%Y', a.Fecha))"))
                      .aEntero(),
                  0)
            << "vuelta " << vuelta;
        EXPECT_EQ(resultado.valorUnico(QStringLiteral("select count(*) from FacturaVentaCabecera f where not exists "
                                               "(select 1 from AlbaranVentaCabecera a where a.sFac = f.Serie and a.Factura = f.Numero)"))
                      .aEntero(),
                  0);
        EXPECT_EQ(resultado.valorUnico(QStringLiteral("select count(*) from FacturaVentaCabecera f where (select count(*) from "
                                                      "RegistroFacturacion r where r.Serie=f.Serie and r.Numero=f.Numero) <> 1"))
                      .aEntero(),
                  0)
            << "vuelta " << vuelta;
        {
            BaseDatos tras(copia);
            const QStringList faltas = verifactu::VerificarRegistros(tras);
            EXPECT_TRUE(faltas.isEmpty()) << "vuelta " << vuelta << ": " << faltas.join(QLatin1Char('\n')).toStdString();
        }
        // What the warehouse sold is what the stored lines say was discounted.
        EXPECT_EQ(resultado.valorUnico(QStringLiteral("select coalesce(sum(Venta), 0) from MovsAlm")).aEntero(),
                  resultado.valorUnico(QStringLiteral("select coalesce(sum(CanStock), 0) from AlbaranVentaDetalle")).aEntero())
            << "vuelta " << vuelta;
    }
    EXPECT_GE(interrumpidos, 10);  // most kills landed while the child was working
}

}  // namespace
