#include "almacen_prueba.h"

#include <algorithm>

namespace {

class Tickets : public AlmacenDePrueba {
protected:
    void SetUp() override
    {
        AlmacenDePrueba::SetUp();
        sql(QStringLiteral("delete from Transacs"));  // the demo's own tickets
    }
    void fila(qint32 doc, qint32 linea, qint16 tipo, const Valor& plu = {}, const Valor& canti = {}, const Valor& preci = {},
              const QString& fecha = QStringLiteral("2024-03-01 10:00:00"), const Valor& impor = qint64(1000))
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, "
                                          "cdPLU, canti, preci) VALUES (?, 0, ?, 2, 3, ?, ?, ?, ?, ?, ?, ?)"),
                           {doc, 100 + doc, fecha, tipo, impor, linea, plu, canti, preci});
    }
    static std::vector<qint32> docs(const std::vector<FilaTicket>& t)
    {
        std::vector<qint32> r;
        for (const auto& f : t)
            r.push_back(f.docID);
        return r;
    }
};

TEST_F(Tickets, CancelledTicketsAreNotListed)
{
    EXPECT_TRUE(bd->ListaTicketsCerrados().empty());
    fila(5, 1, 1, 40, 500, 1250);
    fila(5, 2, 15);
    fila(7, 1, 1, 40, 500, 1250);
    fila(7, 2, 15);
    fila(7, 3, 16);
    fila(9, 1, 15, {}, {}, {}, QStringLiteral("2024-03-01 10:00:00"), Valor());
    const auto lista = bd->ListaTicketsCerrados();
    EXPECT_EQ(docs(lista), (std::vector<qint32>{5, 9}));
    EXPECT_EQ(lista[0].numTK.aEntero(), 105);
    EXPECT_EQ(lista[0].balan.aEntero(), 2);
    EXPECT_EQ(lista[0].Opera.aEntero(), 3);
    EXPECT_DOUBLE_EQ(lista[0].impor, 1000);
    EXPECT_DOUBLE_EQ(lista[1].impor, 0);  // a null amount reads as 0
    EXPECT_EQ(lista[0].Fecha.aFechaHora(), QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
}

TEST_F(Tickets, StartDateLeavesOlderTicketsOut)
{
    fila(1, 1, 15, {}, {}, {}, QStringLiteral("2024-02-28 18:00:00"));
    fila(2, 1, 15, {}, {}, {}, QStringLiteral("2024-03-01 08:00:00"));
    fila(3, 1, 16, {}, {}, {}, QStringLiteral("2024-02-28 18:00:00"));  // a cancellation of a ticket not listed
    EXPECT_EQ(docs(bd->ListaTicketsCerrados(QDate(2024, 3, 1))), (std::vector<qint32>{2}));
    EXPECT_EQ(docs(bd->ListaTicketsCerrados()), (std::vector<qint32>{1, 2}));
}

// Enough tickets on the later day for both ways of reading pages: a wide date is read by
// number, a narrow one whole on the date.
TEST_F(Tickets, PagesAndStretchesAddUpToTheWholeList)
{
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (qint32 doc = 1; doc <= 2600; ++doc) {
            const QString dia = doc % 2 ? QStringLiteral("2024-03-01 10:00:00") : QStringLiteral("2024-02-28 10:00:00");
            fila(doc, 1, 15, {}, {}, {}, dia, qint64(doc));
            if (doc % 7 == 0)
                fila(doc, 2, 16, {}, {}, {}, dia);
        }
        // Cancelled before the later day: listed from that day on, as the whole list does.
        fila(2601, 1, 15, {}, {}, {}, QStringLiteral("2024-03-01 10:00:00"));
        fila(2601, 2, 16, {}, {}, {}, QStringLiteral("2024-02-27 10:00:00"));
        sql(QStringLiteral("update Transacs set tagID = 1 where docID % 5 = 0"));
        t.commit();
    }
    for (const Filtro& desde : {Filtro(), Filtro(QDate(2024, 2, 28)), Filtro(QDate(2024, 3, 1)), Filtro(QDate(2024, 3, 2))}) {
        std::vector<FilaTicket> entera = bd->ListaTicketsCerrados(desde);
        std::reverse(entera.begin(), entera.end());
        for (int limite : {7, 250}) {
            SCOPED_TRACE(limite);
            std::vector<FilaTicket> leidas;
            std::optional<qint32> antes;
            int paginas = 0;
            do {
                PaginaLista<FilaTicket, qint32> p = bd->PaginaTicketsCerrados(desde, antes, limite);
                ASSERT_LE(p.filas.size(), std::max<size_t>(static_cast<size_t>(limite), p.siguiente ? 0 : entera.size()));
                leidas.insert(leidas.end(), p.filas.begin(), p.filas.end());
                antes = p.siguiente;
                ASSERT_LT(++paginas, 1000);
            } while (antes);
            EXPECT_TRUE(leidas == entera) << leidas.size() << " read, " << entera.size() << " in the list";
        }
        // A stretch and what came after the newest: the same rows as the whole list's.
        auto entre = [&](qint32 primero, std::optional<qint32> ultimo) {
            std::vector<FilaTicket> r;
            for (const FilaTicket& t : entera)
                if (t.docID >= primero && (!ultimo || t.docID <= *ultimo))
                    r.push_back(t);
            return r;
        };
        EXPECT_TRUE(bd->TicketsCerradosEntre(desde, 1000, 1100) == entre(1000, 1100));
        EXPECT_TRUE(bd->TicketsCerradosEntre(desde, 2590, std::nullopt) == entre(2590, std::nullopt));
        EXPECT_TRUE(bd->TicketsCerradosEntre(desde, 2602, std::nullopt).empty());
    }
}

TEST_F(Tickets, VoidsCancelTheFirstMatchingLine)
{
    fila(1, 1, 1, 40, 500, 1250);
    fila(1, 2, 1, 40, 1500, 1250);
    fila(1, 3, 8, 40);
    fila(1, 4, 9, 40);   // voids a code 2 of PLU 40: there is none
    fila(1, 5, 2, 77, 3, 199);
    fila(1, 6, 7);       // ignored code
    fila(1, 7, 15);
    const auto lineas = bd->LineasTicket(1);
    ASSERT_TRUE(lineas.has_value());
    ASSERT_EQ(lineas->size(), 2u);
    EXPECT_EQ((*lineas)[0].canti, 1500);  // the second PLU 40 line is the one left
    EXPECT_EQ((*lineas)[0].preci, 1250);
    EXPECT_EQ((*lineas)[1].cdPLU, 77);
}

TEST_F(Tickets, NoDeliveryNoteFromCancelledVoidedOrHeadlessTickets)
{
    fila(1, 1, 1, 40, 500, 1250);
    fila(1, 2, 15);
    fila(1, 3, 16);
    EXPECT_FALSE(bd->LineasTicket(1).has_value());
    fila(2, 1, 1, 40, 500, 1250);
    fila(2, 2, 8, 40);
    fila(2, 3, 15);
    EXPECT_FALSE(bd->LineasTicket(2).has_value());
    fila(3, 1, 1, 40, 500, 1250);
    EXPECT_FALSE(bd->LineasTicket(3).has_value());
    EXPECT_FALSE(bd->LineasTicket(404).has_value());
}

TEST_F(Tickets, MarkTwiceThenPurge)
{
    fila(1, 1, 1, 40, 500, 1250);
    fila(1, 2, 15);
    fila(2, 1, 15);
    // A used ticket that was cancelled is not in the list: the purge has nothing to show for it.
    fila(3, 1, 15);
    fila(3, 2, 16);
    EXPECT_TRUE(bd->MarcarTicket(3));
    EXPECT_FALSE(bd->HayTicketsMarcados());
    EXPECT_TRUE(bd->EliminarTicket(3));
    EXPECT_TRUE(bd->MarcarTicket(1));
    EXPECT_TRUE(bd->HayTicketsMarcados());
    EXPECT_TRUE(bd->MarcarTicket(1));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Transacs where docID=1 and tagID=2")), 2);
    EXPECT_FALSE(bd->MarcarTicket(99));
    EXPECT_TRUE(bd->EliminarTodosMarcados());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Transacs")), 1);
    EXPECT_FALSE(bd->HayTicketsMarcados());
    EXPECT_FALSE(bd->EliminarTodosMarcados());
    EXPECT_TRUE(bd->EliminarTicket(2));
    EXPECT_FALSE(bd->EliminarTicket(2));
}

TEST_F(Tickets, RefreshSearchesByIndexWithoutChangingTheColumns)
{
    EXPECT_TRUE(m().indice(QStringLiteral("Transacs"), QStringLiteral("TipoFecha")).has_value());
    QStringList columnas;
    for (const auto& c : m().campos(QStringLiteral("Transacs")))
        columnas << c.nombre;
    EXPECT_EQ(columnas.join(QLatin1Char(',')), QStringLiteral("docID,tagID,numTK,balan,opera,fecha,tipoT,impor,linea,cdPLU,canti,preci"));
    if (m().esPostgreSQL())
        return;  // the plan below is SQLite's
    motor::Recordset plan = m().abrirRecordset(QStringLiteral(
        "explain query plan select docID from Transacs where ((tipoT=15) or (tipoT=16)) and (fecha>= '2024-03-01') order by docID"));
    QString texto;
    for (; !plan.eof(); plan.moveNext())
        texto += plan[QStringLiteral("detail")].aTexto() + QLatin1Char('\n');
    EXPECT_TRUE(texto.contains(QStringLiteral("Transacs_TipoFecha"))) << qPrintable(texto);
    EXPECT_FALSE(texto.contains(QStringLiteral("SCAN Transacs"))) << qPrintable(texto);
}

}  // namespace
