#include "documentos_prueba.h"
#include "factura.h"
#include "huella.h"
#include "motor.h"

#include <QRandomGenerator>

#include <cmath>
#include <map>
#include <optional>
#include <tuple>

namespace {

// Rate, surcharge and amount of each row, compared to the last bit.
std::vector<std::tuple<std::optional<double>, double, double>> Filas(const std::vector<FilaBase>& filas)
{
    std::vector<std::tuple<std::optional<double>, double, double>> r;
    for (const FilaBase& f : filas)
        r.emplace_back(f.clave, f.recargo, f.importe);
    return r;
}

class FacturaDePrueba : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        DocumentosDePrueba::SetUp();
        cliente(1, QStringLiteral("BAR EL PUERTO"));
        cliente(2, QStringLiteral("ULTRAMARINOS"), true);
    }
    void nota(qint32 numero, qint16 serie, const Valor& factura)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado) "
                                          "VALUES (?, '2024-03-01', 1, ?, ?, 0)"),
                           {numero, serie, factura});
    }
};

TEST_F(FacturaDePrueba, LineAmountAndLineKinds)
{
    LineaFactura l(*bd);
    ASSERT_TRUE(l.FijarReferencia(15));  // JAMON SERRANO LONCHAS, per 100 g, department 3
    EXPECT_EQ(l.Descripcion(), QStringLiteral("JAMON SERRANO LONCHAS"));
    EXPECT_EQ(l.Unidad(), 1);
    EXPECT_FLOAT_EQ(l.pIVA(), 10);
    EXPECT_DOUBLE_EQ(*l.Precio(), 2.89);
    EXPECT_FALSE(l.Importe());  // no quantity yet
    l.FijarPrecio(1.20);
    l.FijarCantidad(2.5);
    l.FijarDescuento(5);
    EXPECT_DOUBLE_EQ(*l.Importe(), 28.50);  // 30.00 less 1.50
    EXPECT_FALSE(l.Titulo());
    EXPECT_FALSE(l.Concepto());

    l.FijarImporte(12.0);  // an amount by hand: a concept line
    EXPECT_FALSE(l.Referencia());
    EXPECT_FALSE(l.Unidad());
    l.FijarConcepto(QStringLiteral("Portes"));
    EXPECT_EQ(l.Concepto(), QStringLiteral("Portes"));
    EXPECT_FALSE(l.Titulo());
    EXPECT_FLOAT_EQ(l.pIVA(), 10);
    l.FijarImporte(std::nullopt);  // no amount: a title line without VAT
    EXPECT_EQ(l.Titulo(), QStringLiteral("Portes"));
    EXPECT_FLOAT_EQ(l.pIVA(), 0);

    l.FijarTitulo(QStringLiteral("Albarán Nº7"));
    EXPECT_EQ(l.Titulo(), QStringLiteral("Albarán Nº7"));
    EXPECT_FALSE(l.Precio());
    EXPECT_FALSE(l.FijarReferencia(4711));
    EXPECT_FALSE(l.Referencia());
    EXPECT_FALSE(l.Precio());
    EXPECT_FALSE(l.Importe());

    LineaFactura unidades(*bd);
    ASSERT_TRUE(unidades.FijarReferencia(25));  // bread, per unit
    unidades.FijarCantidad(3);
    EXPECT_DOUBLE_EQ(*unidades.Importe(), 3.30);
    EXPECT_FALSE(unidades.FijarEnvase(1e8));
}

TEST_F(FacturaDePrueba, DiscountsAreClampedAndTheBreakdownRoundsPerRate)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI());
    f.FijarDescuento(120);
    EXPECT_FLOAT_EQ(f.Descuento(), 100);
    f.FijarDescuento(-5);
    EXPECT_FLOAT_EQ(f.Descuento(), 0);

    ASSERT_TRUE(f.SetCliente(2));  // pays surcharge
    f.FijarDescuento(10);
    f.FijarDesctoPP(2);
    auto linea = [&f](const char* concepto, double importe, float iva, float recargo) {
        LineaFactura* l = f.NuevaLinea();
        l->FijarConcepto(QString::fromUtf8(concepto));
        l->FijarImporte(importe);
        l->FijarpIVA(iva);
        l->FijarpREQ(recargo);
    };
    linea("Bebidas", 60.0, 21, 5.2f);
    linea("Más bebidas", 40.0, 21, 5.2f);
    f.NuevaLinea()->FijarTitulo(QStringLiteral("Sin importe"));  // left out of the totals
    linea("Pan", 20.01, 4, 0.5f);

    const std::vector<DesgloseIVA> d = f.Desglose();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_DOUBLE_EQ(d[0].pIVA, 4);
    EXPECT_DOUBLE_EQ(d[1].Neto, 100.00);
    EXPECT_DOUBLE_EQ(d[1].Descuento, 10.00);
    EXPECT_DOUBLE_EQ(d[1].DesctoPP, 2.00);
    EXPECT_DOUBLE_EQ(d[1].BaseImponible, 88.00);
    EXPECT_DOUBLE_EQ(d[1].IVA, 18.48);
    EXPECT_DOUBLE_EQ(d[1].REq, 4.58);
    EXPECT_DOUBLE_EQ(d[1].Importe, 111.06);
    // 20.01: discounts 2.00 and 0.40, base 17.61, VAT 0.70, surcharge 0.09.
    EXPECT_NEAR(d[0].BaseImponible, 17.61, 1e-9);
    EXPECT_DOUBLE_EQ(d[0].IVA, 0.70);
    EXPECT_DOUBLE_EQ(d[0].REq, 0.09);
    EXPECT_NEAR(f.Total().Importe, 111.06 + 17.61 + 0.70 + 0.09, 1e-9);

    ASSERT_TRUE(f.SetCliente(1));  // no surcharge: the lines keep theirs, the totals drop it
    for (const FilaBase& t : f.Totales())
        EXPECT_DOUBLE_EQ(t.recargo, 0);
    EXPECT_FLOAT_EQ(f.Linea(1)->pREQ(), 5.2f);
    EXPECT_FALSE(f.SetCliente(99));
    EXPECT_EQ(f.Cliente(), 1);
}

TEST_F(FacturaDePrueba, StoredInvoiceComesBackAndMergesItsLines)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    EXPECT_EQ(f.Serie, 1);
    EXPECT_EQ(f.Numero, 1);
    ASSERT_TRUE(f.SetCliente(2));
    f.FijarDescuento(5);
    f.Pagado = 12.5;
    f.NuevaLinea()->FijarTitulo(QStringLiteral("Albarán Nº3"));
    LineaFactura* art = f.NuevaLinea();
    ASSERT_TRUE(art->FijarReferencia(32));  // CERVEZA BOTELLIN, 0.95, 21 %
    art->FijarCantidad(24);
    art->FijarBultos(24);
    art->FijarEnvase(0.10);
    art->FijarComentario(QStringLiteral("caja retornable"));
    LineaFactura* con = f.NuevaLinea();
    con->FijarConcepto(QStringLiteral("Portes"));
    con->FijarImporte(6.0);
    con->FijarpIVA(21);
    ASSERT_TRUE(f.Update());

    Factura g(*bd);
    ASSERT_TRUE(g.WhoAmI(qint16(1), 1));
    EXPECT_TRUE(g.UsaREq());
    EXPECT_FLOAT_EQ(g.Descuento(), 5);
    EXPECT_DOUBLE_EQ(g.Pagado, 12.5);
    ASSERT_EQ(g.NumeroLineas(), 3);
    EXPECT_EQ(g.Linea(1)->Titulo(), QStringLiteral("Albarán Nº3"));
    EXPECT_EQ(g.Linea(2)->Referencia(), 32);
    EXPECT_EQ(g.Linea(2)->Unidad(), 2);
    EXPECT_DOUBLE_EQ(*g.Linea(2)->Importe(), 22.80);
    EXPECT_EQ(g.Linea(2)->Comentario(), QStringLiteral("caja retornable"));
    EXPECT_EQ(g.Linea(3)->Concepto(), QStringLiteral("Portes"));
    EXPECT_DOUBLE_EQ(g.ImporteEnvases(), 2.40);
    EXPECT_EQ(uno(QStringLiteral("select Envase from FacturaVentaDetalle where Linea=2")), 10);

    // Merge: the title goes, the beer changes, a new line comes after the last stored one.
    ASSERT_TRUE(g.EliminarLinea(1));
    g.Linea(1)->FijarCantidad(12);
    LineaFactura* nueva = g.NuevaLinea();
    nueva->FijarConcepto(QStringLiteral("Descuento especial"));
    nueva->FijarImporte(-1.5);
    ASSERT_TRUE(g.Update());
    std::vector<std::pair<qint64, double>> filas;
    for (motor::Recordset rs = m().abrirRecordset(QStringLiteral("select Linea, Importe from FacturaVentaDetalle order by Linea")); !rs.eof(); rs.moveNext())
        filas.emplace_back(rs[QStringLiteral("Linea")].aEntero(), rs[QStringLiteral("Importe")].aNumero());
    EXPECT_EQ(filas, (std::vector<std::pair<qint64, double>>{{2, 11.40}, {3, 6.0}, {4, -1.5}}));
}

// A new invoice keeps, as what it stored, exactly what reading it back gives, over every kind of
// line and awkward figure: saving it again finds no change by another station, a change by one
// is still found, and the digest of lines as read equals the one made from their values.
TEST_F(FacturaDePrueba, ANewInvoiceKnowsWhatItStoredWithoutReadingItBack)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    ASSERT_TRUE(f.SetCliente(1));
    for (int i = 0; i < 150; ++i) {
        LineaFactura* l = f.NuevaLinea();
        switch (i % 4) {
        case 0: l->FijarTitulo(QStringLiteral("Albarán Nº%1 «€»").arg(i)); break;
        case 1:
            ASSERT_TRUE(l->FijarReferencia(15));
            l->FijarCantidad(0.1 * i - 3);
            l->FijarDescuento(static_cast<float>(i % 7) * 1.3f);
            break;
        case 2:
            l->FijarConcepto(QStringLiteral("Portes"));
            l->FijarImporte(1.0 / (i + 1) - 0.1);
            l->FijarpIVA(21);
            break;
        default:
            ASSERT_TRUE(l->FijarReferencia(32));
            l->FijarCantidad(i * 1e6);
            l->FijarBultos(i);
            l->FijarEnvase(0.1);
            l->FijarComentario(i % 8 == 3 ? QStringLiteral("caja 'retornable'") : QString());
            break;
        }
    }
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();

    motor::Recordset cabecera, lineas;
    ASSERT_TRUE(bd->ConsultaCabzFactura(1, *f.Numero, cabecera));
    ASSERT_TRUE(bd->ConsultaDetaFactura(1, *f.Numero, lineas));
    QStringList campos;
    for (int c = 0; c < lineas.numCampos(); ++c)
        campos << lineas.nombreCampo(c);
    std::vector<std::vector<Valor>> leidas;
    for (; !lineas.eof(); lineas.moveNext()) {
        leidas.emplace_back();
        for (int c = 0; c < lineas.numCampos(); ++c)
            leidas.back().push_back(lineas.campo(c));
    }
    ASSERT_EQ(leidas.size(), 150u);
    EXPECT_EQ(HuellaDocumento(cabecera, campos, leidas), HuellaDocumento(cabecera, lineas));

    f.Observaciones = QStringLiteral("segunda vez");
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    m().ejecutar(QStringLiteral("update FacturaVentaDetalle set Comentario = 'otro puesto' where Linea = 7"));
    f.Observaciones = QStringLiteral("tercera vez");
    EXPECT_FALSE(f.Update());
    EXPECT_TRUE(f.UltimoError().startsWith(QStringLiteral("Otro puesto ha cambiado la factura"))) << f.UltimoError().toStdString();
}

// Stored inside a caller's transaction (as a batch stores it), the invoice works out what it
// stored later, and still tells another station's change from none at its next save.
TEST_F(FacturaDePrueba, AnInvoiceStoredInsideATransactionStillSeesAnotherStationsChange)
{
    for (const bool cambiada : {false, true}) {
        Factura f(*bd);
        ASSERT_TRUE(f.WhoAmI(qint16(1)));
        ASSERT_TRUE(f.SetCliente(1));
        for (int i = 0; i < 3; ++i) {
            LineaFactura* l = f.NuevaLinea();
            l->FijarConcepto(QStringLiteral("Portes"));
            l->FijarImporte(i + 1.5);
            l->FijarpIVA(21);
        }
        {
            motor::BaseDeDatos::Transaccion t(m());
            ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
            t.commit();
        }
        if (cambiada)
            m().ejecutarNativo(QStringLiteral("UPDATE FacturaVentaDetalle SET Comentario = 'otro puesto' WHERE Serie = 1 AND Numero = ? "
                                              "AND Linea = 2"),
                               {Valor(static_cast<qint64>(*f.Numero))});
        f.Observaciones = QStringLiteral("después");
        EXPECT_EQ(f.Update(), !cambiada) << cambiada;
    }
}

// Lines made ready before the lock are stored as they would have been, also when another
// station took the invoice's number in between (then under the next one).
TEST_F(FacturaDePrueba, LinesMadeReadyAheadAreStoredUnderTheNumberTheInvoiceGets)
{
    const int n = 1200;  // enough for the server to take them by COPY
    for (const bool tomado : {false, true}) {
        Factura f(*bd);
        ASSERT_TRUE(f.WhoAmI(qint16(1)));
        ASSERT_TRUE(f.SetCliente(1));
        for (int i = 0; i < n; ++i) {
            LineaFactura* l = f.NuevaLinea();
            l->FijarConcepto(QStringLiteral("Portes «%1»\t'x'").arg(i));
            l->FijarImporte(i / 8.0);
            l->FijarpIVA(i % 2 ? 21 : 10);
        }
        const qint32 propuesto = *f.Numero;
        f.PrepararLineas();
        if (tomado)
            m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Cliente) VALUES (1, ?, 2)"),
                               {Valor(static_cast<qint64>(propuesto))});
        {
            motor::BaseDeDatos::Transaccion t(m());
            ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
            t.commit();
        }
        EXPECT_EQ(*f.Numero, tomado ? propuesto + 1 : propuesto);
        const auto lineas = [&](qint32 numero, const char* que) {
            return m().valorUnico(QStringLiteral("SELECT %1 FROM FacturaVentaDetalle WHERE Serie = 1 AND Numero = %2")
                                      .arg(QString::fromLatin1(que))
                                      .arg(numero)).aTexto();
        };
        EXPECT_EQ(lineas(*f.Numero, "count(*)"), QString::number(n));
        EXPECT_EQ(lineas(*f.Numero, "sum(Importe * 8)"), QString::number((n - 1) * n / 2));
        EXPECT_EQ(lineas(*f.Numero, "max(Linea)"), QString::number(n));
        EXPECT_EQ(lineas(*f.Numero, "max(CASE WHEN Linea = 8 THEN Concepto END)"), QStringLiteral("Portes «7»\t'x'"));
        if (tomado)
            EXPECT_EQ(lineas(propuesto, "count(*)"), QStringLiteral("0"));
        // What it stored is what it knows it stored.
        f.Observaciones = QStringLiteral("después");
        EXPECT_TRUE(f.Update()) << f.UltimoError().toStdString();
    }
}

TEST(NifAdmisible, SpanishNifsAreCheckedAndOtherCountriesVatNumbersLeftToThem)
{
    for (const char* bueno : {"", "  ", "12345678Z", "b-46000006", "X1234567L", "ESB46000006", "es12345678z", "FR12345678901",
                              "PT123456789"})
        EXPECT_TRUE(NifAdmisible(QString::fromLatin1(bueno))) << bueno;
    for (const char* malo : {"B46000000", "12345678A", "12345678", "ESB46000000", "ES", "FR1", "X1234567T", "1"})
        EXPECT_FALSE(NifAdmisible(QString::fromLatin1(malo))) << malo;
}

// A customer with a wrong NIF cannot be named on an invoice; without a NIF the invoice is simplified.
TEST_F(FacturaDePrueba, AnInvoiceIsRefusedForACustomerWhoseNifIsWrong)
{
    auto nif = [&](qint32 codigo, const Valor& valor) {
        m().ejecutarNativo(QStringLiteral("UPDATE Cliente SET NIF=? WHERE Codigo=?"), {valor, codigo});
    };
    auto nueva = [&](qint32 codigo) {
        auto f = std::make_unique<Factura>(*bd);
        EXPECT_TRUE(f->WhoAmI(qint16(1)));
        EXPECT_TRUE(f->SetCliente(codigo));
        f->NuevaLinea()->FijarConcepto(QStringLiteral("Portes"));
        return f;
    };
    nif(1, QStringLiteral("B46000000"));
    std::unique_ptr<Factura> f = nueva(1);
    EXPECT_FALSE(f->Update());
    EXPECT_TRUE(f->UltimoError().startsWith(QStringLiteral("El N.I.F. B46000000 del cliente 1 no es correcto."))) << f->UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);

    for (const Valor& sinNif : {Valor(), Valor(QString()), Valor(QStringLiteral("  "))}) {
        nif(2, sinNif);
        EXPECT_TRUE(nueva(2)->Update()) << "simplified";
    }
    nif(1, QStringLiteral("b-46000006"));
    ASSERT_TRUE(f->Update()) << f->UltimoError().toStdString();

    // An invoice already stored keeps being settled and edited; moving it to a wrong NIF is refused.
    nif(1, QStringLiteral("B46000000"));
    f->Pagado = 1;
    EXPECT_TRUE(f->Update()) << f->UltimoError().toStdString();
    nif(2, QStringLiteral("12345678A"));
    ASSERT_TRUE(f->SetCliente(2));
    EXPECT_FALSE(f->Update());
    EXPECT_EQ(uno(QStringLiteral("select Cliente from FacturaVentaCabecera where Numero=%1").arg(*f->Numero)), 1);
}

TEST_F(FacturaDePrueba, RenumberingMovesItsNotesAndNeverOverwritesAnotherInvoice)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    f.Numero = 15;
    ASSERT_TRUE(f.SetCliente(1));
    f.NuevaLinea()->FijarImporte(10.0);
    ASSERT_TRUE(f.Update());
    nota(1, 1, qint64(15));
    nota(2, 0, qint64(15));  // another series: stays
    nota(3, 1, qint64(14));

    Factura g(*bd);
    ASSERT_TRUE(g.WhoAmI(qint16(1), 15));
    g.Numero = 16;
    ASSERT_TRUE(g.Update());
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")), 16);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=2")), 15);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=3")), 14);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=1 and Numero=16")), 1);

    // A new invoice under a stored series and number is refused; the stored one stays as it was.
    Factura h(*bd);
    ASSERT_TRUE(h.WhoAmI(qint16(1)));
    EXPECT_EQ(h.Numero, 17);
    h.Numero = 16;
    ASSERT_TRUE(h.SetCliente(2));
    h.NuevaLinea()->FijarImporte(99.0);
    EXPECT_FALSE(h.Update());
    EXPECT_EQ(uno(QStringLiteral("select Cliente from FacturaVentaCabecera where Serie=1 and Numero=16")), 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle")), 1);
    EXPECT_FALSE(Factura(*bd).Update());  // nothing loaded or set: no series, number or customer

    // Deleting releases the notes.
    Factura k(*bd);
    ASSERT_TRUE(k.WhoAmI(qint16(1), 16));
    ASSERT_TRUE(k.Delete());
    EXPECT_TRUE(m().valorUnico(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")).esNulo());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle")), 0);
    EXPECT_FALSE(k.WhoAmI(qint16(1), 16));
}

TEST_F(FacturaDePrueba, AFailingLineLeavesNoInvoiceBehind)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI());
    ASSERT_TRUE(f.SetCliente(1));
    f.NuevaLinea()->FijarImporte(10.0);
    f.NuevaLinea()->FijarImporte(20.0);
    m().crearDisparadorRechazo(QStringLiteral("una_linea"), QStringLiteral("FacturaVentaDetalle"), QStringLiteral("INSERT"),
                               QStringLiteral("NEW.Linea > 1"), QStringLiteral("disco lleno"));
    EXPECT_FALSE(f.Update());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle")), 0);
}

// Departments 7 and 8 share 21 % VAT; 7 has 5.2 % surcharge, 8 none. A line of each at 21 %
// are two rates, as the invoice list counts them: one surcharge is not charged on the other's
// goods, and what the invoice shows, what settles it and what the list says agree.
TEST_F(FacturaDePrueba, LinesOfOneVatWithDifferentSurchargesAreRatedApartAsInTheList)
{
    articulo(990007, QStringLiteral("REFRESCO PRUEBA"), 2, 7, 1002);
    articulo(990008, QStringLiteral("TABACO PRUEBA"), 2, 8, 1002);
    auto factura = [&](qint32 cliente) {
        auto f = std::make_unique<Factura>(*bd);
        EXPECT_TRUE(f->WhoAmI(qint16(1)));
        f->Fecha = QDate(2024, 3, 1);
        EXPECT_TRUE(f->SetCliente(cliente));
        for (qint32 articulo : {990007, 990008}) {
            LineaFactura* l = f->NuevaLinea();
            EXPECT_TRUE(l->FijarReferencia(articulo));
            l->FijarCantidad(1);  // 10.02
        }
        EXPECT_TRUE(f->Update());
        return f;
    };

    const auto conRecargo = factura(2);
    const std::vector<FilaBase> t = conRecargo->Totales();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_DOUBLE_EQ(*t[0].clave, 21);
    EXPECT_DOUBLE_EQ(t[0].recargo, 0);
    EXPECT_DOUBLE_EQ(*t[1].clave, 21);
    EXPECT_FLOAT_EQ(static_cast<float>(t[1].recargo), 5.2f);
    EXPECT_DOUBLE_EQ(conRecargo->Total().REq, 0.52);  // 5.2 % of one 10.02, not of both
    // 21 % of each 10.02 is 2.1042: two rates give 4.20, as the list says, not 4.21.
    EXPECT_DOUBLE_EQ(conRecargo->Total().IVA, 4.20);
    const auto sinRecargo = factura(1);
    EXPECT_DOUBLE_EQ(sinRecargo->Total().IVA, 4.20);
    EXPECT_DOUBLE_EQ(sinRecargo->Total().REq, 0);

    for (Factura* f : {conRecargo.get(), sinRecargo.get()}) {
        const auto lista = bd->ListaFacturas(qint16(1));
        const auto fila = std::find_if(lista.begin(), lista.end(), [&](const FilaFactura& r) { return r.Numero == *f->Numero; });
        ASSERT_NE(fila, lista.end());
        EXPECT_DOUBLE_EQ(fila->iva, f->Total().IVA);
        EXPECT_DOUBLE_EQ(fila->REq, f->Total().REq);
        f->Pagado = f->ImporteALiquidar();
        ASSERT_TRUE(f->Update());
    }
    EXPECT_EQ(bd->ListaFacturas(qint16(1), {}, {}, {}, Filtro(false)).size(), 2u);  // both settled
}

// Random edits of every kind on an invoice: after each one the sums the invoice keeps are the
// ones worked out again from its lines, to the last bit, and the line-by-line sums to the cent;
// loaded again from the store the invoice gives the same rates.
TEST_F(FacturaDePrueba, KeptSumsFollowEveryEditOfTheLines)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    f.Fecha = QDate(2024, 3, 1);
    ASSERT_TRUE(f.SetCliente(2));
    QRandomGenerator azar(1515);
    const qint32 articulos[] = {1, 15, 25, 31, 32, 4711};
    const float ivas[] = {0, 4, 10, 21, 7};
    const float recargos[] = {0, 0.5f, 1.4f, 5.2f, 1.75f};
    // Amounts of every shape: cents, sums that are not exact in binary, negative, tiny, huge.
    const double raros[] = {0.1, 0.2, 0.3, -12.34, 0.00001, 3e13, 1e-300, 17.98};
    auto cualquiera = [&](const auto& valores) { return valores[azar.bounded(static_cast<int>(std::size(valores)))]; };

    for (int paso = 0; paso < 3000; ++paso) {
        const int n = f.NumeroLineas();
        LineaFactura* l = n ? f.Linea(static_cast<qint16>(1 + azar.bounded(n))) : nullptr;
        const int accion = l ? static_cast<int>(azar.bounded(16)) : 0;
        switch (accion) {
        case 0:
            f.NuevaLinea()->FijarImporte(azar.bounded(1, 100000) / 100.0);
            break;
        case 1: f.EliminarLinea(static_cast<qint16>(1 + azar.bounded(n))); break;
        case 2: l->FijarImporte(azar.bounded(4) ? azar.bounded(-5000, 100000) / 100.0 : cualquiera(raros)); break;
        case 3: l->FijarImporte(std::nullopt); break;
        case 4: l->FijarpIVA(cualquiera(ivas)); break;
        case 5: l->FijarpREQ(cualquiera(recargos)); break;
        case 6: l->FijarReferencia(cualquiera(articulos)); break;
        case 7: l->FijarCantidad(azar.bounded(1, 5000) / 1000.0); break;
        case 8: l->FijarPrecio(azar.bounded(1, 4000) / 100.0); break;
        case 9: l->FijarDescuento(static_cast<float>(azar.bounded(5) * 5)); break;
        case 10: l->FijarTitulo(QStringLiteral("Título")); break;
        case 11: l->FijarBultos(static_cast<qint32>(azar.bounded(7)) - 3); break;
        case 12: l->FijarEnvase(azar.bounded(1, 300) / 100.0); break;
        case 13: l->WhoAmI(); break;
        case 14: f.SetCliente(azar.bounded(2) ? 1 : 2); break;
        default:
            f.FijarDescuento(static_cast<float>(azar.bounded(60)) / 4);
            f.FijarDesctoPP(static_cast<float>(azar.bounded(30)) / 10);
            break;
        }

        const std::vector<FilaBase> kept = f.Totales();
        ASSERT_EQ(Filas(kept), Filas(f.TotalesDeLasLineas())) << "step " << paso;
        std::map<std::pair<float, float>, double> porLineas;
        qint64 entregados = 0, devueltos = 0;
        for (qint16 i = 1; i <= f.NumeroLineas(); ++i) {
            const LineaFactura& x = *f.Linea(i);
            if (x.Importe())
                porLineas[{x.pIVA(), f.UsaREq() ? x.pREQ() : 0.0f}] += *x.Importe();
            const qint64 envases = static_cast<qint64>(x.Bultos()) * x.EnvaseCentimos();
            (envases < 0 ? devueltos : entregados) += envases;
        }
        std::map<std::pair<float, float>, double> porTasas;
        for (size_t r = 0; r < kept.size(); ++r) {
            if (r > 0) {
                ASSERT_LE(*kept[r - 1].clave, *kept[r].clave) << "step " << paso;
            }
            porTasas[{static_cast<float>(*kept[r].clave), static_cast<float>(kept[r].recargo)}] += kept[r].importe;
        }
        ASSERT_EQ(porTasas.size(), porLineas.size()) << "step " << paso;
        for (const auto& [tasa, suma] : porLineas)
            ASSERT_NEAR(porTasas[tasa], suma, std::max(0.001, std::abs(suma) * 1e-14)) << "step " << paso;
        ASSERT_EQ(f.ImporteEnvases(), (entregados + devueltos) / 100.0) << "step " << paso;
        ASSERT_EQ(f.ImporteEnvasesEntregados(), entregados / 100.0) << "step " << paso;
        ASSERT_EQ(f.ImporteEnvasesDevueltos(), devueltos / 100.0) << "step " << paso;
    }

    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    Factura cargada(*bd);
    ASSERT_TRUE(cargada.WhoAmI(*f.Serie, *f.Numero));
    EXPECT_EQ(Filas(cargada.Totales()), Filas(f.Totales()));
    EXPECT_EQ(cargada.ImporteEnvases(), f.ImporteEnvases());
}

}  // namespace
