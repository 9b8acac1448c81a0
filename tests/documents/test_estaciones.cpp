// Several stations on one database, and engine errors that never escape a document: two
// connections in one process stand for two stations where the order of events must be exact;
// real processes on one file run the races themselves.

#include "albaran.h"
#include "albaranes.h"
#include "albaranesdeticket.h"
#include "documentos_prueba.h"
#include "factura.h"
#include "verifactu.h"

#include <QFileInfo>
#include <QProcess>

#include <atomic>
#include <thread>

#include <chrono>
#include <limits>

namespace {

class Estaciones : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        DocumentosDePrueba::SetUp();
        cliente(1, QStringLiteral("BAR CENTRAL"));
        cliente(2, QStringLiteral("HOTEL PLAYA"));
        m().ejecutar(QStringLiteral("delete from Transacs"));
    }
    // Another station on the same file.
    std::unique_ptr<BaseDatos> otra()
    {
        auto b = std::make_unique<BaseDatos>(base->ruta);
        EXPECT_TRUE(b->Abierta());
        return b;
    }
    // A stored note of customer `cli` with `lineas` lines of article 1 of the demo catalogue.
    qint32 nota(BaseDatos& b, qint32 cli, int lineas, qint32 gramos = 1000)
    {
        Albaran a(b);
        EXPECT_TRUE(a.WhoAmI());
        EXPECT_TRUE(a.SetCliente(cli));
        for (int i = 0; i < lineas; ++i) {
            LineaAlbaran* l = a.NuevaLinea();
            l->SetCodigo(1);
            l->FijarCantidadGramos(gramos + i);
        }
        EXPECT_TRUE(a.Update()) << a.UltimoError().toStdString();
        return *a.Numero;
    }
    qint64 lineasDe(qint32 numero) { return uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=%1").arg(numero)); }
    // Invoice lines naming note `numero` as theirs.
    qint64 titulosDe(qint32 numero)
    {
        return uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Concepto like 'Albarán Nº%1 de%'").arg(numero));
    }
    // What a batch's "after invoicing" event said: invoices made, notes invoiced and not.
    struct Facturado {
        qint16 facturas = -1, facturados = -1, noFacturados = -1;
    };
    static void anotar(Albaranes& lote, Facturado& r)
    {
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&r](qint16& f, qint16& s, qint16& n) { r = {f, s, n}; });
    }
    void ticket(qint32 docID)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, "
                                          "canti, preci) VALUES (?, 0, ?, 1, 1, '2024-03-01 10:00:00', 1, 0, 1, 1, 500, 1250)"),
                           {docID, docID});
        m().ejecutarNativo(QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, "
                                          "canti, preci) VALUES (?, 0, ?, 1, 1, '2024-03-01 10:00:00', 15, 625, 2, NULL, NULL, NULL)"),
                           {docID, docID});
    }
};

// --- Two stations, events in a fixed order ----------------------------------------------------

TEST_F(Estaciones, ASaveOverAnotherStationsChangesIsRefusedAndNothingIsLost)
{
    const qint32 n = nota(*bd, 1, 3);
    auto segunda = otra();
    Albaran aqui(*bd), alli(*segunda);
    ASSERT_TRUE(aqui.WhoAmI(n));
    ASSERT_TRUE(alli.WhoAmI(n));
    aqui.NuevaLinea()->SetCodigo(25);
    ASSERT_TRUE(aqui.Update()) << aqui.UltimoError().toStdString();
    alli.NuevaLinea()->SetCodigo(1);
    alli.Observaciones = QStringLiteral("desde la oficina");
    EXPECT_FALSE(alli.Update());
    EXPECT_TRUE(alli.UltimoError().contains(QStringLiteral("Otro puesto ha cambiado el albarán"))) << alli.UltimoError().toStdString();
    EXPECT_EQ(lineasDe(n), 4);  // the first station's line is kept, the second's never half-written
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Observaciones='desde la oficina'")), 0);

    // Loaded again, the same change goes through.
    ASSERT_TRUE(alli.WhoAmI(n));
    alli.NuevaLinea()->SetCodigo(1);
    EXPECT_TRUE(alli.Update()) << alli.UltimoError().toStdString();
    EXPECT_EQ(lineasDe(n), 5);
    // A second save without loading again would merge by stale line numbers: refused.
    EXPECT_FALSE(alli.Update());
    EXPECT_FALSE(alli.UltimoError().isEmpty());

    // Deleted elsewhere: said so, nothing recreated.
    ASSERT_TRUE(aqui.WhoAmI(n));
    ASSERT_TRUE(segunda->EliminarAlbaran(n));
    EXPECT_FALSE(aqui.Update());
    EXPECT_TRUE(aqui.UltimoError().contains(QStringLiteral("borrado")));
    EXPECT_EQ(lineasDe(n), 0);
}

TEST_F(Estaciones, AnInvoiceEditedOnTwoStationsKeepsTheFirstSave)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(0)));
    ASSERT_TRUE(f.SetCliente(1));
    f.NuevaLinea()->FijarConcepto(QStringLiteral("PORTES"));
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    // Stored once, the object stands for the stored invoice: a second save edits it in place.
    f.NuevaLinea()->FijarConcepto(QStringLiteral("CAJAS"));
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Numero=%1").arg(*f.Numero)), 2);

    auto segunda = otra();
    Factura alli(*segunda);
    ASSERT_TRUE(alli.WhoAmI(qint16(0), *f.Numero));
    f.Pagado = 10;
    ASSERT_TRUE(f.Update());
    alli.Observaciones = QStringLiteral("otra");
    EXPECT_FALSE(alli.Update());
    EXPECT_TRUE(alli.UltimoError().contains(QStringLiteral("Otro puesto ha cambiado la factura")));
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Pagado from FacturaVentaCabecera where Numero=%1").arg(*f.Numero)), 10);
}

TEST_F(Estaciones, ANewDocumentWhoseNumberAnotherStationTookGetsTheNextOne)
{
    auto segunda = otra();
    Albaran aqui(*bd), alli(*segunda);
    ASSERT_TRUE(aqui.WhoAmI());
    ASSERT_TRUE(alli.WhoAmI());
    ASSERT_EQ(aqui.Numero, alli.Numero);
    ASSERT_TRUE(aqui.SetCliente(1));
    ASSERT_TRUE(alli.SetCliente(2));
    ASSERT_TRUE(aqui.Update());
    ASSERT_TRUE(alli.Update()) << alli.UltimoError().toStdString();
    EXPECT_EQ(*alli.Numero, *aqui.Numero + 1);
    EXPECT_EQ(uno(QStringLiteral("select Cliente from AlbaranVentaCabecera where Numero=%1").arg(*aqui.Numero)), 1);

    Factura fa(*bd), fb(*segunda);
    ASSERT_TRUE(fa.WhoAmI(qint16(1)));
    ASSERT_TRUE(fb.WhoAmI(qint16(1)));
    ASSERT_TRUE(fa.SetCliente(1));
    ASSERT_TRUE(fb.SetCliente(2));
    ASSERT_TRUE(fa.Update());
    ASSERT_TRUE(fb.Update()) << fb.UltimoError().toStdString();
    EXPECT_EQ(*fb.Numero, *fa.Numero + 1);
}

TEST_F(Estaciones, ATicketGivesOneNoteWhenTwoStationsTakeIt)
{
    ticket(7);
    auto segunda = otra();
    std::unique_ptr<Albaran> aqui = AlbaranOnLine(*bd, 7);
    std::unique_ptr<Albaran> alli = AlbaranOnLine(*segunda, 7);
    ASSERT_TRUE(aqui && alli);
    EXPECT_EQ(aqui->Ticket(), std::optional<qint32>(7));
    EXPECT_EQ(aqui->MarcaTicket(), 0);
    ASSERT_TRUE(aqui->SetCliente(1));
    ASSERT_TRUE(alli->SetCliente(2));
    ASSERT_TRUE(aqui->Update()) << aqui->UltimoError().toStdString();
    EXPECT_FALSE(alli->Update());
    EXPECT_TRUE(alli->UltimoError().contains(QStringLiteral("ticket 7"))) << alli->UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where onLine = 1")), 1);
    EXPECT_EQ(uno(QStringLiteral("select min(tagID) from Transacs where docID=7")), 1);
    EXPECT_EQ(uno(QStringLiteral("select max(tagID) from Transacs where docID=7")), 1);

    // Asked for again on purpose, a used ticket gives another note and counts it.
    std::unique_ptr<Albaran> otraVez = AlbaranOnLine(*segunda, 7);
    ASSERT_TRUE(otraVez);
    EXPECT_EQ(otraVez->MarcaTicket(), 1);
    ASSERT_TRUE(otraVez->SetCliente(2));
    EXPECT_TRUE(otraVez->Update());
    EXPECT_EQ(uno(QStringLiteral("select min(tagID) from Transacs where docID=7")), 2);
}

// The claim checks the mark the user chose the ticket by, not the one read when the note was
// built; a ticket deleted meanwhile has nothing to mark and the note is stored all the same.
TEST_F(Estaciones, ATicketNoteClaimsTheMarkTheListShowed)
{
    ticket(7);
    ticket(8);
    // The list showed ticket 7 unused; another station turned it into a note before the
    // proposal was built.
    m().ejecutar(QStringLiteral("update Transacs set tagID=1 where docID=7"));
    std::unique_ptr<Albaran> tarde = AlbaranOnLine(*bd, 7, 0);
    ASSERT_TRUE(tarde);
    ASSERT_TRUE(tarde->SetCliente(1));
    EXPECT_FALSE(tarde->Update());
    EXPECT_TRUE(tarde->UltimoError().contains(QStringLiteral("ticket 7"))) << tarde->UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select max(tagID) from Transacs where docID=7")), 1);

    std::unique_ptr<Albaran> borrado = AlbaranOnLine(*bd, 8, 0);
    ASSERT_TRUE(borrado);
    ASSERT_TRUE(bd->EliminarTicket(8));
    ASSERT_TRUE(borrado->SetCliente(1));
    EXPECT_TRUE(borrado->Update()) << borrado->UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where onLine = 1")), 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Transacs where docID=8")), 0);
}

TEST_F(Estaciones, BatchInvoicingLeavesOutANoteBilledElsewhereMeanwhile)
{
    const qint32 a = nota(*bd, 1, 2), b = nota(*bd, 1, 2), c = nota(*bd, 1, 2);
    auto segunda = otra();
    Albaranes lote(*bd);
    Facturado r;
    anotar(lote, r);
    int vistos = 0;
    QObject::connect(&lote, &Albaranes::UnoFacturado, [&](bool, bool&) {
        // Once note b has joined the invoice in memory, the office bills it on its own.
        if (++vistos == 2) {
            Albaranes suelto(*segunda);
            suelto.WhoAmI(b);
            suelto.Facturar();
        }
    });
    lote.WhoAmI();
    lote.Facturar();
    EXPECT_EQ(r.facturas, 1);
    EXPECT_EQ(r.facturados, 2);
    EXPECT_EQ(r.noFacturados, 1);
    EXPECT_FALSE(lote.UltimoError().isEmpty());
    // Each note sits in exactly one invoice, and each invoice holds only its own notes' titles.
    for (qint32 n : {a, b, c})
        EXPECT_EQ(titulosDe(n), 1) << n;
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera a where not exists (select 1 from FacturaVentaDetalle d "
                                 "where d.Serie=a.sFac and d.Numero=a.Factura and d.Concepto like 'Albarán Nº' || a.Numero || ' de%')")),
              0);
}

// The notes are checked before the write lock is taken; a change another station commits
// after that check and before the lock still keeps its note out of the invoice.
TEST_F(Estaciones, BatchInvoicingLeavesOutANoteChangedJustBeforeItTakesTheLock)
{
    const qint32 a = nota(*bd, 1, 2), b = nota(*bd, 1, 2), c = nota(*bd, 1, 2);
    bd->Motor()->fijarEspera(10000);
    motor::BaseDeDatos oficina(base->ruta);
    std::thread otro;
    std::atomic<bool> bloqueada{false};
    Albaranes lote(*bd);
    Facturado r;
    anotar(lote, r);
    int vistos = 0;
    QObject::connect(&lote, &Albaranes::UnoFacturado, [&](bool, bool&) {
        // After the last note joins: the office holds the write lock while the batch checks
        // its notes, then changes note b and lets go.
        if (++vistos == 3)
            otro = std::thread([&] {
                oficina.ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE"));
                bloqueada = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                oficina.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaDetalle SET Cantidad=Cantidad+1 WHERE Numero=?"), {Valor(qint64(b))});
                oficina.ejecutarNativo(QStringLiteral("COMMIT"));
            });
        while (vistos == 3 && !bloqueada)
            std::this_thread::yield();
    });
    lote.WhoAmI();
    lote.Facturar();
    otro.join();
    EXPECT_EQ(r.facturados, 2);
    EXPECT_EQ(r.noFacturados, 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura is null and Numero=%1").arg(b)), 1);
    EXPECT_EQ(std::vector<qint64>({titulosDe(a), titulosDe(b), titulosDe(c)}), std::vector<qint64>({1, 0, 1}));
}

// --- Errors never escape ------------------------------------------------------------------------

class Bloqueo : public Estaciones {
protected:
    void SetUp() override
    {
        Estaciones::SetUp();
        bd->Motor()->fijarEspera(30);
        cerrojo = std::make_unique<motor::BaseDeDatos>(base->ruta);
    }
    void bloquear() { cerrojo->ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE")); }
    void soltar() { cerrojo->ejecutarNativo(QStringLiteral("COMMIT")); }
    static bool enEspanol(const QString& t) { return t.contains(QStringLiteral("ocupada por otro puesto")); }
    std::unique_ptr<motor::BaseDeDatos> cerrojo;
};

TEST_F(Bloqueo, EveryDocumentOperationAnswersFalseInSpanishAndWritesNothing)
{
    const qint32 n = nota(*bd, 1, 2);
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(0)));
    ASSERT_TRUE(f.SetCliente(1));
    ASSERT_TRUE(f.Update());
    const qint64 antes = uno(QStringLiteral("select count(*) from AlbaranVentaDetalle"));

    Albaran cargada(*bd);
    ASSERT_TRUE(cargada.WhoAmI(n));  // readers are never stopped by a writer
    cargada.NuevaLinea()->SetCodigo(25);
    Albaran nueva(*bd);
    ASSERT_TRUE(nueva.WhoAmI());
    ASSERT_TRUE(nueva.SetCliente(2));
    Albaran otra(*bd);
    ASSERT_TRUE(otra.WhoAmI(n));
    Factura fc(*bd);
    ASSERT_TRUE(fc.WhoAmI(qint16(0), *f.Numero));
    fc.Pagado = 5;

    bloquear();
    EXPECT_FALSE(cargada.Update());
    EXPECT_TRUE(enEspanol(cargada.UltimoError())) << cargada.UltimoError().toStdString();
    EXPECT_FALSE(nueva.Update());
    EXPECT_TRUE(enEspanol(nueva.UltimoError()));
    EXPECT_FALSE(otra.Stock());
    EXPECT_TRUE(enEspanol(otra.UltimoError()));
    EXPECT_FALSE(otra.Delete());
    EXPECT_TRUE(enEspanol(otra.UltimoError()));
    EXPECT_FALSE(fc.Update());
    EXPECT_TRUE(enEspanol(fc.UltimoError()));
    EXPECT_FALSE(fc.Delete());
    EXPECT_TRUE(enEspanol(fc.UltimoError()));
    soltar();

    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle")), antes);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")), 1);
    EXPECT_EQ(uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera where Pagado=0")), 1);
    // Once the lock is gone the same objects save.
    EXPECT_TRUE(cargada.Update()) << cargada.UltimoError().toStdString();
    EXPECT_TRUE(fc.Update()) << fc.UltimoError().toStdString();
}

TEST_F(Bloqueo, ReadersAndNewConnectionsNeverWaitForAWriter)
{
    nota(*bd, 1, 2);
    bloquear();
    const auto inicio = std::chrono::steady_clock::now();
    BaseDatos lector(base->ruta);  // a listing or a second program starting meanwhile
    EXPECT_TRUE(lector.Abierta()) << lector.ErrorApertura().toStdString();
    EXPECT_EQ(lector.ListaAlbaranes().size(), 1u);
    EXPECT_FALSE(lector.ListaFacturas().size());
    EXPECT_EQ(lector.ListaClientes().size(), 2u);
    lector.ListaTicketsCerrados();
    Albaran a(lector);
    EXPECT_TRUE(a.WhoAmI(1));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inicio).count(), 1000);
    soltar();
}

// Each batch runs over six notes while another connection takes the write lock at the second
// note's event and keeps it: the third note waits the busy timeout once, then it and every note
// after it count as not done with the lock's reason, none waiting again, and the "after" event
// tells what the database holds.
TEST_F(Bloqueo, ABatchStopsAtALockThatOutlastsTheWaitAndCountsTrue)
{
    constexpr int kEspera = 600;
    bd->Motor()->fijarEspera(kEspera);
    for (int i = 0; i < 6; ++i)
        nota(*bd, 1 + i % 2, 2);
    struct Cuenta {
        int antes = -1, hechos = -1, fallidos = -1, despues = 0;
        qint64 ms = 0;
    };
    // Checks the reasons the batch keeps: one per note not done, the last `bloqueadas` the lock.
    auto motivos = [&](const Albaranes& lote, int fallidos, int bloqueadas) {
        ASSERT_EQ(static_cast<int>(lote.Fallos().size()), fallidos);
        for (int i = fallidos - bloqueadas; i < fallidos; ++i)
            EXPECT_TRUE(enEspanol(lote.Fallos()[static_cast<size_t>(i)].second)) << i;
        const QString resumen = MotivosAgrupados(lote.Fallos(), QStringLiteral("Albarán"), QStringLiteral("Albaranes"));
        EXPECT_TRUE(resumen.startsWith(QStringLiteral("Albaranes "))) << resumen.toStdString();
    };
    auto correr = [&](auto antes, auto cadaUno, auto despues, auto accion, int bloqueadas) {
        Albaranes lote(*bd);
        Cuenta c;
        int vistos = 0;
        QObject::connect(&lote, antes, [&](qint16& cuenta, bool&) { c.antes = cuenta; });
        QObject::connect(&lote, cadaUno, [&](bool, bool&) {
            if (++vistos == 2)
                bloquear();
        });
        QObject::connect(&lote, despues, [&](qint16& h, qint16& f) {
            ++c.despues;
            c.hechos = h;
            c.fallidos = f;
        });
        lote.WhoAmI();
        const auto inicio = std::chrono::steady_clock::now();
        (lote.*accion)();
        c.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inicio).count();
        soltar();
        motivos(lote, c.fallidos, bloqueadas);
        return c;
    };

    Cuenta d = correr(&Albaranes::AntesDeDescontar, &Albaranes::UnoDescontado, &Albaranes::DespuesDeDescontar, &Albaranes::Descontar, 4);
    EXPECT_EQ(d.despues, 1);
    EXPECT_EQ(d.antes, 6);
    EXPECT_EQ(d.hechos, 2);
    EXPECT_EQ(d.fallidos, 4);
    EXPECT_LT(d.ms, 2 * kEspera);  // one wait, not one per note left
    const qint64 descontadas = uno(QStringLiteral("select count(*) from (select Numero from AlbaranVentaDetalle group by Numero "
                                                  "having sum(CanStock)=sum(Cantidad)) as d"));
    EXPECT_EQ(descontadas, d.hechos);
    EXPECT_EQ(vendido(1), uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle")));

    {
        Albaranes todos(*bd);
        todos.WhoAmI();
        todos.Descontar();
    }
    Cuenta r = correr(&Albaranes::AntesDeRestaurar, &Albaranes::UnoRestaurado, &Albaranes::DespuesDeRestaurar, &Albaranes::Restaurar, 4);
    EXPECT_EQ(r.antes, 6);
    EXPECT_EQ(r.hechos, 2);
    EXPECT_EQ(r.fallidos, 4);
    EXPECT_EQ(vendido(1), uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle")));

    // Invoicing one invoice per note: an invoice is stored when the next note comes in, so the
    // second invoice is the one that meets the lock, and the four notes after it are not tried.
    Albaranes lote(*bd);
    Facturado f;
    anotar(lote, f);
    int vistos = 0;
    QObject::connect(&lote, &Albaranes::AntesDeFacturar, [&](qint16&, qint16& serie, QDate&, qint16& detalle, bool& una, bool&, bool&) {
        serie = 1;
        detalle = 3;
        una = true;
    });
    QObject::connect(&lote, &Albaranes::UnoFacturado, [&](bool, bool&) {
        if (++vistos == 2)
            bloquear();
    });
    lote.WhoAmI();
    const auto inicio = std::chrono::steady_clock::now();
    lote.Facturar();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - inicio).count(), 2 * kEspera);
    soltar();
    EXPECT_EQ(vistos, 2);
    EXPECT_EQ(f.facturas, 1);
    EXPECT_EQ(f.facturados, 1);
    EXPECT_EQ(f.noFacturados, 5);
    motivos(lote, 5, 5);
    EXPECT_EQ(f.facturados, uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura is not null")));
    EXPECT_EQ(f.facturas, uno(QStringLiteral("select count(*) from FacturaVentaCabecera")));

    Cuenta e = correr(&Albaranes::AntesDeEliminar, &Albaranes::UnoEliminado, &Albaranes::DespuesDeEliminar, &Albaranes::Eliminar, 3);
    EXPECT_EQ(e.antes, 5);
    EXPECT_EQ(e.hechos, 2);
    EXPECT_EQ(e.fallidos, 3);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")), 6 - e.hechos);
}

TEST_F(Estaciones, NumbersAndTextsBeyondTheirFieldsAreRefusedWithTheReason)
{
    // The last number a field holds is used; the next one is refused, never wrapped.
    const qint32 maximo = std::numeric_limits<qint32>::max();
    Albaran ultimo(*bd);
    ASSERT_TRUE(ultimo.WhoAmI());
    ultimo.Numero = maximo;
    ASSERT_TRUE(ultimo.SetCliente(1));
    ASSERT_TRUE(ultimo.Update()) << ultimo.UltimoError().toStdString();
    Albaran despues(*bd);
    EXPECT_FALSE(despues.WhoAmI());
    EXPECT_TRUE(despues.UltimoError().contains(QStringLiteral("No quedan números de albarán")));

    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(2)));
    f.Numero = maximo;
    ASSERT_TRUE(f.SetCliente(1));
    ASSERT_TRUE(f.Update());
    EXPECT_FALSE(f.WhoAmI(qint16(2)));
    EXPECT_TRUE(f.UltimoError().contains(QStringLiteral("No quedan números de factura")));
    EXPECT_TRUE(f.WhoAmI(qint16(3)));  // other series go on

    cliente(maximo, QStringLiteral("ULTIMO"));
    EXPECT_THROW(bd->NuevoCodCli(), motor::Error);

    // A NUL in a customer's text is refused before the statement is built.
    Coleccion campos;
    campos.fijar(QStringLiteral("Codigo"), Valor(static_cast<qint64>(50)));
    campos.fijar(QStringLiteral("Nombre"), Valor(QStringLiteral("BAR") + QChar(0) + QStringLiteral("X")));
    try {
        bd->NuevoCliente(50, campos);
        ADD_FAILURE() << "a NUL was stored";
    } catch (const motor::Error& e) {
        EXPECT_TRUE(motor::TextoParaUsuario(e).contains(QStringLiteral("carácter nulo")));
    }
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Cliente where Codigo=50")), 0);
}

TEST_F(Estaciones, ANoteOfMoreThanTenThousandLinesSavesAndReloads)
{
    const int lineas = 10001;  // renumbering through 10000+line collided from here on
    const qint32 n = nota(*bd, 1, lineas, 1);
    EXPECT_EQ(lineasDe(n), lineas);
    EXPECT_EQ(uno(QStringLiteral("select min(Linea) from AlbaranVentaDetalle where Numero=%1").arg(n)), 1);
    EXPECT_EQ(uno(QStringLiteral("select max(Linea) from AlbaranVentaDetalle where Numero=%1").arg(n)), lineas);
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(n));
    ASSERT_EQ(a.NumeroLineas(), lineas);
    a.EliminarLinea(1);
    a.NuevaLinea()->SetCodigo(25);
    EXPECT_TRUE(a.Update()) << a.UltimoError().toStdString();
    EXPECT_EQ(lineasDe(n), lineas);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=%1 and Articulo=25").arg(n)), 1);
}

// --- Real processes on one file ------------------------------------------------------------------

// Run as a child by the tests below: the work named in QUENZA_ESTACION on the database in
// QUENZA_ESTACION_BD; prints "hechos N" and "rechazados N".
TEST(EstacionHija, Trabajar)
{
    const QString ruta = qEnvironmentVariable("QUENZA_ESTACION_BD");
    const QString trabajo = qEnvironmentVariable("QUENZA_ESTACION");
    if (ruta.isEmpty())
        GTEST_SKIP() << "only run as a station test's child";
    const qint32 marca = qEnvironmentVariableIntValue("QUENZA_ESTACION_MARCA");
    BaseDatos bd(ruta);
    ASSERT_TRUE(bd.Abierta());
    bd.DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    int hechos = 0, rechazados = 0;
    QStringList motivos;
    auto contar = [&](bool ok, const QString& motivo) {
        ++(ok ? hechos : rechazados);
        if (!ok && !motivos.contains(motivo))
            motivos << motivo;
    };
    if (trabajo == QLatin1String("facturar")) {
        Albaranes lote(bd);
        QObject::connect(&lote, &Albaranes::AntesDeFacturar, [](qint16&, qint16& serie, QDate&, qint16& detalle, bool& una, bool&, bool&) {
            serie = 1;
            detalle = 3;
            una = true;
        });
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&](qint16&, qint16& s, qint16& n) {
            hechos = s;
            rechazados = n;
        });
        lote.WhoAmI();
        lote.Facturar();
    } else if (trabajo == QLatin1String("editar")) {
        // Ten rounds of: load note 1, add five lines of our own article, save.
        for (int vuelta = 0; vuelta < 10; ++vuelta) {
            Albaran a(bd);
            if (!a.WhoAmI(1)) {
                contar(false, a.UltimoError());
                continue;
            }
            for (int i = 0; i < 5; ++i) {
                LineaAlbaran* l = a.NuevaLinea();
                l->SetCodigo(1);
                l->FijarCantidadGramos(marca);
            }
            contar(a.Update(), a.UltimoError());
        }
    } else if (trabajo == QLatin1String("tickets")) {
        // Every ticket not yet used, as the ticket browser offers them.
        for (const FilaTicket& t : bd.ListaTicketsCerrados()) {
            std::unique_ptr<Albaran> a = AlbaranOnLine(bd, t.docID);
            if (!a || a->MarcaTicket() != 0)
                continue;
            a->SetCliente(1);
            contar(a->Update(), a->UltimoError());
        }
    } else if (trabajo == QLatin1String("nuevos")) {
        for (int i = 0; i < 40; ++i) {
            Albaran a(bd);
            bool ok = a.WhoAmI() && a.SetCliente(marca);
            if (ok) {
                a.NuevaLinea()->SetCodigo(25);
                ok = a.Update();
            }
            contar(ok, a.UltimoError());
        }
    }
    std::printf("hechos %d\nrechazados %d\n", hechos, rechazados);
    for (const QString& m : motivos)
        std::printf("motivo %s\n", m.toUtf8().constData());
}

class VariosPuestos : public Estaciones {
protected:
    struct Cuenta {
        int hechos = 0, rechazados = 0;
        QString salida;
    };
    // Runs `trabajo` in two processes at once on the test database; one count per process.
    std::vector<Cuenta> aLaVez(const QString& trabajo)
    {
        if (!m().esPostgreSQL())
            m().ejecutarNativo(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        const QString prueba = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        std::vector<std::unique_ptr<QProcess>> hijos;
        for (int i = 1; i <= 2; ++i) {
            auto hijo = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QUENZA_ESTACION_BD"), base->ruta);
            env.insert(QStringLiteral("QUENZA_ESTACION"), trabajo);
            env.insert(QStringLiteral("QUENZA_ESTACION_MARCA"), QString::number(i));
            hijo->setProcessEnvironment(env);
            hijo->start(prueba, {QStringLiteral("--gtest_filter=EstacionHija.*")});
            hijos.push_back(std::move(hijo));
        }
        std::vector<Cuenta> cuentas;
        for (auto& hijo : hijos) {
            EXPECT_TRUE(hijo->waitForFinished(60000));
            EXPECT_EQ(hijo->exitCode(), 0);
            Cuenta c;
            c.salida = QString::fromUtf8(hijo->readAllStandardOutput());
            for (const QString& l : c.salida.split(QLatin1Char('\n'))) {
                if (l.startsWith(QLatin1String("hechos ")))
                    c.hechos = l.mid(7).toInt();
                if (l.startsWith(QLatin1String("rechazados ")))
                    c.rechazados = l.mid(11).toInt();
            }
            cuentas.push_back(c);
        }
        return cuentas;
    }
};

TEST_F(VariosPuestos, TwoBatchInvoicingsBillEveryNoteOnce)
{
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        {
            motor::BaseDeDatos::Transaccion t(m());
            for (int i = 0; i < 60; ++i)
                m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Pagado, DesctoPP, onLine) "
                                                  "VALUES (?, '2024-03-01', ?, 0, 0, 0, 0)"),
                                   {Valor(static_cast<qint64>(vuelta * 100 + i + 1)), Valor(static_cast<qint64>(1 + i % 2))});
            t.commit();
        }
        const std::vector<Cuenta> c = aLaVez(QStringLiteral("facturar"));
        ASSERT_EQ(c.size(), 2u);
        EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura is null")), 0) << "vuelta " << vuelta;
        // Billed once: each note's title appears in one invoice line, the one of its own invoice.
        EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Concepto like 'Albarán Nº%'")),
                  uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")))
            << "vuelta " << vuelta;
        EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera f where not exists (select 1 from "
                                     "AlbaranVentaCabecera a where a.sFac=f.Serie and a.Factura=f.Numero)")),
                  0);
        // What each station says it billed is what it billed.
        EXPECT_EQ(c[0].hechos + c[1].hechos, 60) << c[0].salida.toStdString() << c[1].salida.toStdString();
    }
}

TEST_F(VariosPuestos, TwoBatchInvoicingsKeepOneUnbrokenChainOfRecords)
{
    bd->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), {}, {}, true});
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int i = 0; i < 60; ++i) {
            m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Pagado, DesctoPP, onLine) "
                                              "VALUES (?, '2027-01-04', ?, 0, 0, 0, 0)"),
                               {i + 1, 1 + i % 2});
            m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, "
                                              "Cada, Cantidad, CanStock, Bultos, Envase) VALUES (?, 1, 1, 1, 1000, 0, 0, ?, 0, 0, 0)"),
                               {i + 1, 100 + i});
        }
        t.commit();
    }
    const std::vector<Cuenta> c = aLaVez(QStringLiteral("facturar"));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].hechos + c[1].hechos, 60) << c[0].salida.toStdString() << c[1].salida.toStdString();
    // Exactly one record of issue per invoice, none for anything else, and the chain whole.
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 60);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion")), 60);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera f where (select count(*) from RegistroFacturacion r "
                                 "where r.Serie=f.Serie and r.Numero=f.Numero and r.Tipo='A') <> 1")),
              0);
    const QStringList faltas = verifactu::VerificarRegistros(*bd);
    EXPECT_TRUE(faltas.isEmpty()) << faltas.join(QLatin1Char('\n')).toStdString();
}

TEST_F(VariosPuestos, TwoStationsEditingOneNoteNeverLoseALine)
{
    nota(*bd, 1, 1, 999);
    const std::vector<Cuenta> c = aLaVez(QStringLiteral("editar"));
    ASSERT_EQ(c.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        // Every save a station was told succeeded is in the note, and only those.
        EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=1 and Cantidad=%1").arg(i + 1)),
                  5 * c[static_cast<size_t>(i)].hechos)
            << c[static_cast<size_t>(i)].salida.toStdString();
        EXPECT_EQ(c[static_cast<size_t>(i)].hechos + c[static_cast<size_t>(i)].rechazados, 10);
    }
    EXPECT_EQ(lineasDe(1), 1 + 5 * (c[0].hechos + c[1].hechos));
    EXPECT_GE(c[0].hechos + c[1].hechos, 10);
}

TEST_F(VariosPuestos, TwoStationsTurningTheSameTicketsMakeOneNoteEach)
{
    m().ejecutar(QStringLiteral("delete from Transacs"));
    for (qint32 t = 1; t <= 30; ++t)
        ticket(t);
    const std::vector<Cuenta> c = aLaVez(QStringLiteral("tickets"));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where onLine = 1")), 30);
    EXPECT_EQ(uno(QStringLiteral("select max(tagID) from Transacs")), 1);
    EXPECT_EQ(uno(QStringLiteral("select min(tagID) from Transacs")), 1);
    EXPECT_EQ(c[0].hechos + c[1].hechos, 30);
}

TEST_F(VariosPuestos, TwoStationsNumberingNewNotesNeverFailForTheNumber)
{
    const std::vector<Cuenta> c = aLaVez(QStringLiteral("nuevos"));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].rechazados + c[1].rechazados, 0) << c[0].salida.toStdString() << c[1].salida.toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=1")), 40);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=2")), 40);
}

}  // namespace
