#include "editorcelda.h"
#include "editores_prueba.h"
#include "factura.h"
#include "impresion.h"
#include "rejilla.h"
#include "unafactura.h"

#include <QRandomGenerator>

namespace {

class UnaFacturaTest : public EditorDePrueba {
protected:
    void SetUp() override
    {
        EditorDePrueba::SetUp();
        Navegadores::facturas = &navegador;
    }
    static Rejilla* grd(QWidget* w) { return hijo<Rejilla>(w, "Grd"); }
    static Rejilla* resu(QWidget* w) { return hijo<Rejilla>(w, "grdResu"); }
    static EditorCelda* ed(QWidget* w) { return hijo<EditorCelda>(w, "txEd"); }

    const FilaFactura* enLista(qint32 numero, std::optional<bool> pendiente = std::nullopt)
    {
        lista = Global::BD->ListaFacturas(qint16(0), {}, {}, {}, pendiente ? Filtro(*pendiente) : Filtro());
        for (const FilaFactura& f : lista)
            if (f.Numero == numero)
                return &f;
        return nullptr;
    }

    NavegadorFalso navegador;
    std::vector<FilaFactura> lista;
};

TEST_F(UnaFacturaTest, InvoiceTypedFromTheKeyboardIsStoredWithArticleConceptAndTitleLines)
{
    QPointer<UnaFactura> w = UnaFactura::Editar(std::nullopt);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Edición de una factura"));
    EXPECT_EQ(resu(w)->Rows(), 1);  // no rates yet: only the titles
    // No title is cut, nor an article code, a VAT or an amount of the summary.
    for (Rejilla* g : {grd(w), resu(w)})
        for (int c = 0; c < g->Cols(); ++c)
            EXPECT_GT(g->anchoColumna(c), g->fontMetrics().horizontalAdvance(g->TextMatrix(0, c))) << c;
    EXPECT_GT(grd(w)->anchoColumna(2), grd(w)->fontMetrics().horizontalAdvance(QStringLiteral("009013")));
    EXPECT_GT(resu(w)->anchoColumna(0), resu(w)->fontMetrics().horizontalAdvance(QStringLiteral("21,0")));
    EXPECT_GT(resu(w)->anchoColumna(7), resu(w)->fontMetrics().horizontalAdvance(QStringLiteral("1.234,56")));
    const qint32 numero = *w->Documento().Numero;
    ASSERT_EQ(foco(), hijo<QLineEdit>(w, "txCliente"));
    teclas(QStringLiteral("perez rec"));
    EXPECT_EQ(hijo<QLineEdit>(w, "txCodCli")->text(), QStringLiteral("009013"));
    intro();
    ASSERT_EQ(foco(), ed(w));

    // An article line: code, quantity.
    intro();
    intro();
    teclas(QStringLiteral("990001"));
    intro();
    EXPECT_EQ(grd(w)->Col(), 4);
    EXPECT_EQ(grd(w)->TextMatrix(1, 4), QStringLiteral("10,0"));
    intro();
    teclas(QStringLiteral("2"));
    intro();
    EXPECT_EQ(grd(w)->Col(), 6);
    intro();
    EXPECT_EQ(grd(w)->Col(), 8);
    intro();
    teclas(QStringLiteral("5"));  // no amount typed on an article line
    EXPECT_EQ(ed(w)->text(), QStringLiteral("17,98"));
    intro();
    EXPECT_EQ(grd(w)->Row(), 2);
    EXPECT_EQ(grd(w)->Col(), 2);

    // A concept line: a text no article has, a VAT, its amount.
    tecla(Qt::Key_Right);
    teclas(QStringLiteral("TRANSPORTE XQ"));
    EXPECT_EQ(grd(w)->TextMatrix(2, 2), QString());
    intro();
    teclas(QStringLiteral("21"));
    EXPECT_FLOAT_EQ(w->Documento().Linea(2)->pREQ(), 5.2f);
    intro();
    teclas(QStringLiteral("3"));  // no quantity on a line without article
    EXPECT_EQ(ed(w)->text(), QString());
    intro();
    intro();
    intro();
    teclas(QStringLiteral("12,5"));
    intro();

    // A title line.
    tecla(Qt::Key_Right);
    teclas(QStringLiteral("SECCION XQ"));
    EXPECT_EQ(resu(w)->Rows(), 4);  // 10 %, 21 %, sums
    EXPECT_EQ(resu(w)->TextMatrix(3, 7), QStringLiteral("35,81"));  // 17,98 + 10 % + 1,4 %; 12,50 + 21 % + 5,2 %

    tecla(Qt::Key_Return, Qt::ControlModifier);
    asentar();
    EXPECT_FALSE(w);
    ASSERT_EQ(navegador.refrescos.size(), 1u);
    EXPECT_EQ(navegador.refrescos[0], std::optional<long>(numero));
    EXPECT_EQ(navegador.quitados, std::vector<long>{0});

    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI(qint16(0), numero));
    EXPECT_EQ(f.Cliente(), std::optional<qint32>(9013));
    ASSERT_EQ(f.NumeroLineas(), 3);
    EXPECT_EQ(f.Linea(1)->Referencia(), std::optional<qint32>(990001));
    EXPECT_EQ(f.Linea(1)->Importe(), std::optional<double>(17.98));
    EXPECT_EQ(f.Linea(2)->Concepto(), std::optional<QString>(QStringLiteral("TRANSPORTE XQ")));
    EXPECT_EQ(f.Linea(2)->Importe(), std::optional<double>(12.5));
    EXPECT_FLOAT_EQ(f.Linea(2)->pIVA(), 21);
    EXPECT_EQ(f.Linea(3)->Titulo(), std::optional<QString>(QStringLiteral("SECCION XQ")));
}

TEST_F(UnaFacturaTest, VatTypedTakesTheSurchargeOfItsDepartmentAndDescriptionResetsIt)
{
    QPointer<UnaFactura> w = UnaFactura::Editar(std::nullopt);
    ASSERT_TRUE(w);
    grd(w)->setCelda(1, 3);
    teclas(QStringLiteral("PORTES XQ"));
    intro();
    teclas(QStringLiteral("21"));
    EXPECT_FLOAT_EQ(w->Documento().Linea(1)->pREQ(), 5.2f);
    tecla(Qt::Key_A, Qt::ControlModifier);
    teclas(QStringLiteral("7"));  // no department has 7 %
    EXPECT_FLOAT_EQ(w->Documento().Linea(1)->pIVA(), 7);
    EXPECT_FLOAT_EQ(w->Documento().Linea(1)->pREQ(), 0);
    grd(w)->setCelda(1, 3);
    tecla(Qt::Key_End);
    teclas(QStringLiteral("S"));
    EXPECT_FLOAT_EQ(w->Documento().Linea(1)->pIVA(), 0);
    EXPECT_EQ(grd(w)->TextMatrix(1, 4), QString());
    tecla(Qt::Key_A, Qt::ControlModifier);
    tecla(Qt::Key_Backspace);  // an emptied description empties the line
    EXPECT_FALSE(w->Documento().Linea(1)->Importe());
    EXPECT_FALSE(w->Documento().Linea(1)->Referencia());
    // A plain Delete edits the cell; Shift+Delete takes the line away.
    grd(w)->setCelda(1, 1);
    teclas(QStringLiteral("12"));
    tecla(Qt::Key_Home);
    tecla(Qt::Key_Delete);
    EXPECT_EQ(ed(w)->text(), QStringLiteral("2"));
    tecla(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(w->Documento().NumeroLineas(), 0);
    Mensajes mensajes;
    pulsar(w, "Cancelar");
    EXPECT_EQ(mensajes.textos, QStringList{QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")});
}

// What the editor leaves in the invoice is what the user sees: an emptied description leaves
// no quantity or price behind, an emptied payment is nothing paid, and a printed invoice is a
// stored one whose number the next invoice does not take again.
TEST_F(UnaFacturaTest, EmptiedFieldsLeaveNothingBehindAndPrintingSavesFirst)
{
    ImpresionDePrueba impresion;
    const std::vector<QStringList>& impresos = impresion.impresos;
    QPointer<UnaFactura> w = UnaFactura::Editar(std::nullopt);
    ASSERT_TRUE(w);
    const qint32 nf = *w->Documento().Numero;
    teclas(QStringLiteral("perez rec"));
    grd(w)->setCelda(1, 2);
    teclas(QStringLiteral("990001"));
    grd(w)->setCelda(1, 5);
    teclas(QStringLiteral("2"));
    ASSERT_TRUE(w->Documento().Linea(1)->Importe());
    grd(w)->setCelda(1, 3);
    tecla(Qt::Key_A, Qt::ControlModifier);
    tecla(Qt::Key_Backspace);
    const LineaFactura* l = w->Documento().Linea(1);
    EXPECT_FALSE(l->Referencia());
    EXPECT_FALSE(l->Cantidad());
    EXPECT_FALSE(l->Precio());
    EXPECT_FALSE(l->Importe());
    EXPECT_EQ(grd(w)->TextMatrix(1, 5), QString());
    EXPECT_EQ(grd(w)->TextMatrix(1, 6), QString());
    // Typed letter by letter, the text names an article on the way ("P..."): the concept it
    // ends as keeps nothing of it.
    grd(w)->setCelda(2, 3);
    teclas(QStringLiteral("PORTES XQ"));
    grd(w)->setCelda(2, 9);
    teclas(QStringLiteral("6"));

    QLineEdit* pagado = hijo<QLineEdit>(w, "txPagado");
    pagado->setFocus();
    tecla(Qt::Key_A, Qt::ControlModifier);
    teclas(QStringLiteral("5"));
    EXPECT_DOUBLE_EQ(w->Documento().Pagado, 5);
    tecla(Qt::Key_Backspace);
    EXPECT_DOUBLE_EQ(w->Documento().Pagado, 0);

    pulsar(w, "Imprim");
    ASSERT_EQ(impresos.size(), 1u);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera where Serie=0 and Numero=%1").arg(nf)), 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=0 and Numero=%1 and "
                                 "(Cantidad is not null or Precio is not null)").arg(nf)), 0);
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Pagado from FacturaVentaCabecera where Serie=0 and Numero=%1").arg(nf)), 0);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->Cambios());
    pulsar(w, "Cancelar");
    asentar();
    EXPECT_FALSE(w);
    Factura siguiente(*Global::BD);
    ASSERT_TRUE(siguiente.WhoAmI());
    EXPECT_EQ(*siguiente.Numero, nf + 1);
}

// Settling records what the customer owes (surcharge and packaging included) and the list then
// counts the invoice as settled.
TEST_F(UnaFacturaTest, SettlingWithSurchargeAndPackagingSettlesInTheList)
{
    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI());
    f.SetCliente(9013);
    f.FijarDescuento(3);
    LineaFactura* l = f.NuevaLinea();
    l->FijarReferencia(990002);  // 21 % and 5.2 %
    l->FijarCantidad(7);
    l->FijarBultos(2);
    l->FijarEnvase(1.5);
    ASSERT_TRUE(f.Update());
    const qint32 numero = *f.Numero;

    QPointer<UnaFactura> w = UnaFactura::Editar(numero);
    ASSERT_TRUE(w);
    Rejilla* r = resu(w);
    ASSERT_EQ(r->Rows(), 4);  // the rate, the sums, packaging
    EXPECT_EQ(r->TextMatrix(3, 0), QStringLiteral("Envases"));
    EXPECT_EQ(r->TextMatrix(3, 2), QStringLiteral("3,00"));
    EXPECT_EQ(r->TextMatrix(3, 3), QStringLiteral("Importe+Envases"));
    pulsar(w, "Liquidar");
    EXPECT_EQ(hijo<QLineEdit>(w, "txPagado")->text(), r->TextMatrix(3, 7));
    EXPECT_TRUE(w->Cambios());
    pulsar(w, "Aceptar");
    asentar();
    EXPECT_FALSE(w);
    const FilaFactura* fila = enLista(numero, false);
    ASSERT_TRUE(fila);
    EXPECT_GT(fila->REq, 0);
    EXPECT_DOUBLE_EQ(fila->Pagado.aNumero(), TotalAPagar(*fila));
    EXPECT_FALSE(enLista(numero, true));
}

// For invoices of every mix of discounts, rates (one VAT with two surcharges too), surcharge and
// packaging, the editor's summary, the printed invoice and the invoice list give the same
// figures to the cent.
TEST_F(UnaFacturaTest, EditorPrintAndListAgreeOnGeneratedInvoices)
{
    ImpresionDePrueba impresion;
    const std::vector<QStringList>& impresos = impresion.impresos;
    QRandomGenerator azar(1507);
    const float ivas[] = {21, 10, 4, 0, 7};
    for (int n = 0; n < 24; ++n) {
        Factura f(*Global::BD);
        ASSERT_TRUE(f.WhoAmI());
        f.SetCliente(n % 2 ? 9013 : 9012);
        f.FijarDescuento(static_cast<float>(azar.bounded(60)) / 4);
        f.FijarDesctoPP(static_cast<float>(azar.bounded(30)) / 10);
        const int lineas = 1 + static_cast<int>(azar.bounded(9));
        for (int i = 0; i < lineas; ++i) {
            LineaFactura* l = f.NuevaLinea();
            if (azar.bounded(2)) {
                l->FijarReferencia(azar.bounded(2) ? 990001 : 990002);
                l->FijarCantidad(static_cast<double>(azar.bounded(1, 5000)) / 1000);
                l->FijarPrecio(static_cast<double>(azar.bounded(1, 4000)) / 100);
                l->FijarDescuento(static_cast<float>(azar.bounded(4) * 5));
            } else {
                l->FijarConcepto(QStringLiteral("CONCEPTO %1").arg(i));
                l->FijarImporte(static_cast<double>(azar.bounded(1, 90000)) / 100);
                const float iva = ivas[azar.bounded(5)];
                l->FijarpIVA(iva);
                // Now and then a surcharge other than its department's: one VAT, two rates.
                l->FijarpREQ(azar.bounded(4) ? Factura::RecargoDeIVA(iva) : 0.5f);
            }
            if (azar.bounded(3) == 0) {
                l->FijarBultos(static_cast<qint32>(azar.bounded(7)) - 3);
                l->FijarEnvase(static_cast<double>(azar.bounded(1, 300)) / 100);
            }
        }
        ASSERT_TRUE(f.Update());
        const FilaFactura* fila = enLista(*f.Numero);
        ASSERT_TRUE(fila);
        const DesgloseIVA total = f.Total();
        EXPECT_NEAR(total.BaseImponible, fila->Neto, 0.001) << n;
        EXPECT_NEAR(total.IVA, fila->iva, 0.001) << n;
        EXPECT_NEAR(total.REq, fila->REq, 0.001) << n;
        EXPECT_NEAR(f.ImporteEnvases(), fila->Envases, 0.001) << n;
        EXPECT_NEAR(f.ImporteALiquidar(), TotalAPagar(*fila), 0.001) << n;

        QPointer<UnaFactura> w = UnaFactura::Editar(*f.Numero);
        ASSERT_TRUE(w);
        Rejilla* r = resu(w);
        const int sumas = r->Rows() - (fila->Envases != 0 ? 2 : 1);
        EXPECT_EQ(r->TextMatrix(sumas, 4), Formato(fila->Neto, QStringLiteral("##,##0.00;-##,##0.00;#"))) << n;
        EXPECT_EQ(r->TextMatrix(sumas, 5), Formato(fila->iva, QStringLiteral("##,##0.00;-##,##0.00;#"))) << n;
        EXPECT_EQ(r->TextMatrix(sumas, 6), Formato(fila->REq, QStringLiteral("##,##0.00;-##,##0.00;#"))) << n;
        EXPECT_EQ(r->TextMatrix(r->Rows() - 1, 7), Formato(TotalAPagar(*fila), QStringLiteral("##,##0.00;-##,##0.00;#"))) << n;
        pulsar(w, "Imprim");
        ASSERT_FALSE(impresos.empty());
        EXPECT_TRUE(impresos.back().contains(Formato(fila->Neto + fila->iva + fila->REq, QStringLiteral("##,##0.00;-##,##0.00;#"))))
            << n;
        pulsar(w, "Cancelar");
        asentar();
    }
}

}  // namespace
