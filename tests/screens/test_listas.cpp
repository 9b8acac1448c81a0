// The lists keep up with what the program itself stores, from whichever window, and with what
// other stations store on F5; finding a customer by typing on the list.

#include "browalb.h"
#include "browcli.h"
#include "browfac.h"
#include "impresion.h"
#include "lecturapaginada.h"
#include "listafilas.h"
#include "motormascaras.h"
#include "pantallas_prueba.h"
#include "unalbaran.h"

#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>

#include <chrono>
#include <thread>

namespace {

const QDate kDia(2024, 3, 15);

class Listas : public PantallasDePrueba {
protected:
    void SetUp() override
    {
        PantallasDePrueba::SetUp();
        m().ejecutarNativo(QStringLiteral("DELETE FROM Cliente WHERE Codigo NOT IN (1, 2)"));
        cliente(1, QStringLiteral("GARCIA LOPEZ"));
        cliente(2, QStringLiteral("PANADERIA SOL"));
        articulo(9002, QStringLiteral("PAN"), 2, 5, 100);
        for (qint32 n = 1; n <= 3; ++n) {
            albaran(n, n == 3 ? 2 : 1, kDia);
            linea(n, 1, 9002, 5, 100, 2, n);
        }
    }
    void TearDown() override
    {
        for (QMdiSubWindow* w : area->subWindowList())
            w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (BrowCli* c = BrowCli::Instancia())
            c->close();
        PantallasDePrueba::TearDown();
    }
    static QStringList Columna(ListaFilas* g, int col)
    {
        QStringList t;
        for (int f = 1; f < g->Rows(); ++f)
            t << g->TextMatrix(f, col);
        return t;
    }
    // What a save of note `numero` does to the note list, as the editor asks it.
    void Guardada(BrowAlb* b, long numero) { static_cast<NavegadorDocumentos*>(b)->RefrescarFila(numero); }
};

// Behind the first page, each page follows how long its rows take: slow rows make it shrink
// (a key waits for one short page at most), quick ones let it grow (fewer, larger reads); the
// rows' vector is made as big as the count at once, and every row comes, once and in order.
TEST(LecturaPaginada, PagesFollowTheTimeTheirRowsTakeAndRoomIsMadeOnce)
{
    AplicacionDePrueba();
    using Lectura = LecturaPaginada<int>;
    struct Caso {
        const char* nombre;
        std::chrono::microseconds porFila;
        int total;
    };
    for (const Caso& c : {Caso{"slow rows", std::chrono::microseconds(400), 1500}, Caso{"quick rows", std::chrono::microseconds(0), 60000}}) {
        SCOPED_TRACE(c.nombre);
        QObject contexto;
        ModeloFilas modelo;
        std::vector<int> filas;
        std::vector<int> limites;
        Lectura lectura(&contexto, filas);
        size_t capacidadTrasContar = 0;
        lectura.Empezar(&modelo, [&](std::vector<int>& destino, int limite) {
            limites.push_back(limite);
            const int desde = static_cast<int>(destino.size());
            const int hasta = std::min(c.total, desde + limite);
            std::this_thread::sleep_for(c.porFila * (hasta - desde));
            for (int i = desde; i < hasta; ++i)
                destino.push_back(i);
            return hasta < c.total;
        }, [&] {
            return qint64{c.total};
        });
        lectura.alLlegar = [&] {
            if (!capacidadTrasContar)
                capacidadTrasContar = filas.capacity();
        };
        const size_t primera = filas.size();
        ASSERT_TRUE(lectura.Incompleta());
        ASSERT_TRUE(Esperar([&] { return !lectura.Incompleta(); }, 60000));
        ASSERT_EQ(filas.size(), static_cast<size_t>(c.total));
        for (int i = 0; i < c.total; ++i)
            ASSERT_EQ(filas[static_cast<size_t>(i)], i);
        EXPECT_GE(capacidadTrasContar, static_cast<size_t>(c.total)) << "after the page of " << primera;
        ASSERT_GE(limites.size(), 3u);
        const int mayor = *std::max_element(limites.begin() + 2, limites.end());
        if (c.porFila.count() > 0)
            EXPECT_LT(mayor, Lectura::kPagina) << "a page of slow rows stays short";
        else
            EXPECT_GT(mayor, 8 * Lectura::kPagina) << "quick rows come in larger pages";
    }
}

TEST_F(Listas, InvoicingAndDeletingAnInvoiceShowAtOnceInTheOtherList)
{
    BrowFac* fac = BrowFac::Abrir();
    fac->FijarSerie(1);
    ASSERT_EQ(fac->Grd->Rows(), 1);
    BrowAlb* alb = BrowAlb::Abrir();
    contestador->Hacer([](QWidget* d) {
        Hijo<QLineEdit>(d, "txSerie")->setText(QStringLiteral("1"));
        Hijo<QAbstractButton>(d, "Acepto")->click();
    });
    alb->Grd->setCelda(2, 0);
    QTest::keyClick(alb->Grd, Qt::Key_F);
    ASSERT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 1);
    EXPECT_TRUE(alb->Facturado(2));
    EXPECT_EQ(fac->Grd->Rows(), 2);

    // Deleting the invoice frees its note in the note list, and F invoices it again.
    fac->Grd->setCelda(1, 0);
    contestador->Ok();
    fac->MnEliminar->trigger();
    EXPECT_EQ(fac->Grd->Rows(), 1);
    EXPECT_FALSE(alb->Facturado(2));
    EXPECT_EQ(alb->Grd->Row(), 2);

    // Another station's invoice shows on F5, the selection kept on its note.
    m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Pagado, DesctoPP, Descuento, "
                                      "Observaciones) VALUES (1, 7, ?, 1, NULL, 0, 0, '')"),
                       {kDia.toString(Qt::ISODate)});
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac=1, Factura=7 WHERE Numero=1"));
    EXPECT_FALSE(alb->Facturado(1));
    QTest::keyClick(fac->Grd, Qt::Key_F5);
    QTest::keyClick(alb->Grd, Qt::Key_F5);
    EXPECT_EQ(Columna(fac->Grd, 0), QStringList({"7"}));
    EXPECT_TRUE(alb->Facturado(1));
    EXPECT_EQ(alb->Grd->Row(), 2);
}

// A save reads only its own row: a list of many notes is not read again.
TEST_F(Listas, ASaveRefreshesOnlyItsRow)
{
    BrowAlb* b = BrowAlb::Abrir(ClienteFiltro{1, QStringLiteral("GARCIA LOPEZ")}, kDia, kDia);
    ASSERT_EQ(Columna(b->Grd, 0), QStringList({"1", "2"}));
    QSignalSpy reinicios(b->Grd->model(), &QAbstractItemModel::modelReset);

    const auto sql = [this](const char* texto) { return [this, texto] { m().ejecutarNativo(QString::fromUtf8(texto)); }; };
    struct Caso {
        std::function<void()> cambio;
        long numero;
        QStringList numeros;
        int fila;
    } casos[] = {
        {sql("UPDATE AlbaranVentaCabecera SET Pagado=1.5 WHERE Numero=2"), 2, {"1", "2"}, 2},
        {[this] {
             albaran(0, 1, kDia);
             linea(0, 1, 9002, 5, 100, 2, 4);
         },
         0, {"0", "1", "2"}, 1},
        // Gone from the filter: the row goes, the selection stays where it was.
        {sql("UPDATE AlbaranVentaCabecera SET Cliente=2 WHERE Numero=1"), 1, {"0", "2"}, 1},
        {sql("UPDATE AlbaranVentaCabecera SET Cliente=1 WHERE Numero=3"), 3, {"0", "2", "3"}, 3},
        {sql("UPDATE AlbaranVentaCabecera SET Fecha='2024-03-16' WHERE Numero=3"), 3, {"0", "2"}, 2},
    };
    for (const Caso& c : casos) {
        c.cambio();
        Guardada(b, c.numero);
        EXPECT_EQ(Columna(b->Grd, 0), c.numeros) << c.numero;
        EXPECT_EQ(b->Grd->Row(), c.fila) << c.numero;
    }
    EXPECT_EQ(b->Grd->TextMatrix(2, 8), QStringLiteral("1,50"));
    EXPECT_EQ(reinicios.count(), 0);
}

TEST_F(Listas, SeeingACustomersDocumentsFiltersAnOpenList)
{
    BrowAlb* alb = BrowAlb::Abrir(std::nullopt, kDia, kDia);
    BrowFac* fac = BrowFac::Abrir(std::nullopt, kDia, kDia);
    ASSERT_EQ(alb->Grd->Rows(), 4);
    Navegadores::abrirAlbaranes = [](std::optional<long> c, QDate, QDate) {
        BrowAlb::Abrir(ClienteFiltro{static_cast<qint32>(*c), QStringLiteral("PANADERIA SOL")});
    };
    Navegadores::abrirFacturas = [](std::optional<long> c, QDate, QDate) {
        BrowFac::Abrir(ClienteFiltro{static_cast<qint32>(*c), QStringLiteral("PANADERIA SOL")});
    };
    BrowCli* cli = BrowCli::Abrir();
    cli->Grd->setCelda(2, 0);
    cli->MnAlbaranes->trigger();
    cli->MnFacturas->trigger();
    EXPECT_EQ(BrowAlb::Actual(), alb);
    EXPECT_EQ(Columna(alb->Grd, 0), QStringList({"3"}));
    EXPECT_EQ(alb->lbCli->text(), QStringLiteral("000002  PANADERIA SOL"));
    EXPECT_EQ(alb->lbFch->text(), QStringLiteral("(todas)"));
    EXPECT_EQ(fac->filtro().cliente->codigo, 2);
    Navegadores::abrirAlbaranes = {};
    Navegadores::abrirFacturas = {};
}

// A new note saved through "Imprimir" is from then on the editor of its number.
TEST_F(Listas, ANewNotePrintedFromItsEditorBecomesThatNotesEditor)
{
    ImpresionDePrueba impresion;
    BrowAlb* b = BrowAlb::Abrir(std::nullopt, std::nullopt, std::nullopt);
    QTest::mouseClick(b->Nuevo, Qt::LeftButton);
    auto* nota = qobject_cast<UnAlbaran*>(b->Hijo(0));
    ASSERT_TRUE(nota);
    QTest::keyClicks(Hijo<QLineEdit>(nota, "txCodCli"), QStringLiteral("1"));
    contestador->Responder(QMessageBox::Yes);  // an empty note is saved all the same
    Hijo<QPushButton>(nota, "Imprim")->click();
    const long numero = nota->NumeroEditado();
    EXPECT_EQ(numero, 4);
    EXPECT_EQ(b->Hijo(0), nullptr);
    EXPECT_EQ(b->Hijo(4), nota);
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("4"));

    const auto ventanas = area->subWindowList().size();
    QTest::keyClick(b->Grd, Qt::Key_Return);
    EXPECT_EQ(area->subWindowList().size(), ventanas);
    QTest::mouseClick(b->Nuevo, Qt::LeftButton);
    EXPECT_NE(b->Hijo(0), nullptr);
    EXPECT_NE(b->Hijo(0), nota);
}

// Another station stored the note's number first: the note takes the next one and says so.
TEST_F(Listas, ANoteStoredUnderAnotherNumberSaysWhich)
{
    BrowAlb* b = BrowAlb::Abrir(std::nullopt, std::nullopt, std::nullopt);
    QTest::mouseClick(b->Nuevo, Qt::LeftButton);
    auto* nota = qobject_cast<UnAlbaran*>(b->Hijo(0));
    ASSERT_TRUE(nota);
    auto* numero = Hijo<QLineEdit>(nota, "txNumero");
    ASSERT_EQ(numero->text(), QStringLiteral("000004"));
    numero->selectAll();
    QTest::keyClicks(numero, QStringLiteral("000004"));
    QTest::keyClicks(Hijo<QLineEdit>(nota, "txCodCli"), QStringLiteral("1"));
    albaran(4, 2, kDia);
    contestador->Responder(QMessageBox::Yes);
    contestador->Ok();
    Hijo<QPushButton>(nota, "Aceptar")->click();
    EXPECT_EQ(contestador->textos.value(1),
              QStringLiteral("El número 000004 ya se había guardado en otro puesto: se ha guardado con el número 000005."));
    EXPECT_EQ(uno(QStringLiteral("select Cliente from AlbaranVentaCabecera where Numero=5")), 1);
}

TEST_F(Listas, TypingOnTheCustomerListFindsByNameOrCode)
{
    cliente(10, QStringLiteral("FRUTERÍA ÁLVAREZ"));
    cliente(12, QStringLiteral("ALMACENES ROCA"));
    cliente(120, QStringLiteral("BAR CENTRAL"));
    BrowCli* c = BrowCli::Abrir();
    ASSERT_EQ(Columna(c->Grd, 0), QStringList({"1", "2", "10", "12", "120"}));
    const int pausa = QApplication::keyboardInputInterval() + 50;
    struct Caso {
        const char* tecleado;
        int fila;
    } casos[] = {
        {"pan", 2},      // the start of a name, in any case
        {"alv", 3},      // without its accents; not "ALMACENES" (no name begins so): one that holds it
        {"alm", 4},      //
        {"12", 4},       // a code
        {"120", 5},      //
        {"1", 1},        // the code itself before one that begins with it
        {"central", 5},  // a word inside the name
        {"qq", 5},       // nothing found: the row stays
    };
    c->Grd->setCelda(1, 0);
    for (const Caso& caso : casos) {
        QTest::qWait(pausa);
        QTest::keyClicks(c->Grd, QString::fromUtf8(caso.tecleado));
        EXPECT_EQ(c->Grd->Row(), caso.fila) << caso.tecleado;
    }
    // The same letter again goes on to the next name that begins with it.
    c->Grd->setCelda(1, 0);
    QTest::qWait(pausa);
    QTest::keyClick(c->Grd, Qt::Key_A);
    EXPECT_EQ(c->Grd->Row(), 4);
}

}  // namespace
